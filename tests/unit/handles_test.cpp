// The stream behind file handles: line ends, double-byte characters across a
// buffer refill, writing over the bytes after a read line, one position shared
// by line and byte access (seeking moves both), the end test on the position,
// binary padding, and the open modes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "library/handles/handles_stream.h"

namespace sorane {
namespace {

class StreamTest : public ::testing::Test {
 protected:
  std::string dir_;
  void SetUp() override {
    char tmpl[] = "/tmp/sorane-handle-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
  std::string File(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  std::vector<std::string> Lines(TextFileStream& s) {
    std::vector<std::string> out;
    std::string line;
    while (!s.AtEnd()) {
      EXPECT_TRUE(s.ReadLine(line));
      out.push_back(line);
    }
    return out;
  }
};

TEST_F(StreamTest, EveryLineEndReadsTheSame) {
  const std::vector<std::string> expected = {"one", "", "two", "three"};
  const std::vector<std::string> contents = {"one\n\ntwo\nthree", "one\r\rtwo\rthree\r",
                                             "one\r\n\r\ntwo\r\nthree\r\n",
                                             std::string("one\0\0two\0three", 14)};
  for (const std::string& content : contents) {
    auto s = TextFileStream::Open(File("l.txt", content), 0);
    ASSERT_TRUE(s);
    EXPECT_EQ(Lines(*s), expected) << content;
  }
}

TEST_F(StreamTest, DoubleByteCharacterAcrossTheBufferEnd) {
  // A lead byte at offset 4095 takes its trail byte from the next refill, even
  // when the trail byte looks like a line feed's neighbour "\".
  std::string content(4095, 'a');
  content += "\x95\x5C";  // 表
  content += "\r\nnext";
  auto s = TextFileStream::Open(File("b.txt", content), 0);
  std::string line;
  ASSERT_TRUE(s->ReadLine(line));
  EXPECT_EQ(line.size(), 4097u);
  EXPECT_EQ(line.substr(4095), "\x95\x5C");
  ASSERT_TRUE(s->ReadLine(line));
  EXPECT_EQ(line, "next");
  EXPECT_TRUE(s->AtEnd());
  // A lead byte right before a line break takes the break byte with it.
  s = TextFileStream::Open(File("c.txt", "x\x81\ny\n"), 0);
  ASSERT_TRUE(s->ReadLine(line));
  EXPECT_EQ(line, "x\x81\ny");
  EXPECT_TRUE(s->AtEnd());
}

TEST_F(StreamTest, WritingAfterReadingReplacesTheFollowingBytes) {
  std::string path = File("w.txt", "first\r\nsecond\r\nthird\r\n");
  auto s = TextFileStream::OpenOrCreate(path);
  std::string line;
  ASSERT_TRUE(s->ReadLine(line));
  ASSERT_TRUE(s->WriteLine("SECOND"));
  ASSERT_TRUE(s->ReadLine(line));
  EXPECT_EQ(line, "third");
  EXPECT_EQ(Slurp(path), "first\r\nSECOND\r\nthird\r\n");
  // The file is never cut: a shorter line leaves the old tail.
  s->Seek(0);
  ASSERT_TRUE(s->WriteLine("1"));
  EXPECT_EQ(Slurp(path), "1\r\nst\r\nSECOND\r\nthird\r\n");
}

TEST_F(StreamTest, NewFileThenRewind) {
  std::string path = dir_ + "/new.txt";
  auto s = TextFileStream::OpenOrCreate(path);
  ASSERT_TRUE(s);
  EXPECT_TRUE(s->AtEnd());
  ASSERT_TRUE(s->WriteLine("a"));
  ASSERT_TRUE(s->WriteLine("b"));
  EXPECT_TRUE(s->AtEnd());
  s->Seek(0);
  EXPECT_FALSE(s->AtEnd());
  std::string line;
  ASSERT_TRUE(s->ReadLine(line));
  EXPECT_EQ(line, "a");
  EXPECT_FALSE(s->AtEnd());
  s->SeekToEnd();
  EXPECT_TRUE(s->AtEnd());
}

TEST_F(StreamTest, SeekingMovesLineAndByteAccessAlike) {
  std::string path = File("s.bin", "0123456789\r\nabc\r\n");
  auto s = TextFileStream::Open(path, 2);
  std::string line, bytes;
  // A line read fills the whole buffer; the byte read still starts right
  // after the line.
  ASSERT_TRUE(s->ReadLine(line));
  ASSERT_TRUE(s->ReadBytes(3, bytes));
  EXPECT_EQ(bytes, "abc");
  s->Seek(4);
  ASSERT_TRUE(s->ReadBytes(2, bytes));
  EXPECT_EQ(bytes, "45");
  ASSERT_TRUE(s->ReadLine(line));
  EXPECT_EQ(line, "6789");
  // A byte write moves the position for the next line read too.
  s->Seek(0);
  ASSERT_TRUE(s->WriteBytes("AB", 2));
  ASSERT_TRUE(s->ReadLine(line));
  EXPECT_EQ(line, "23456789");
  // The end test looks at the position only.
  s->Seek(100);
  EXPECT_TRUE(s->AtEnd());
  s->Seek(16);
  EXPECT_FALSE(s->AtEnd());
  s->Seek(-3);
  EXPECT_EQ(s->Position(), 0);
}

TEST_F(StreamTest, BinaryPaddingAndShortReads) {
  std::string path = dir_ + "/p.bin";
  auto s = TextFileStream::Open(path, TextFileStream::kCreate);
  ASSERT_TRUE(s);
  ASSERT_TRUE(s->WriteBytes("abc", 5));
  ASSERT_TRUE(s->WriteBytes("xyz", 1));
  ASSERT_TRUE(s->WriteBytes("ignored", 0));
  EXPECT_EQ(Slurp(path), std::string("abc\0\0x", 6));
  s->Seek(4);
  std::string bytes;
  ASSERT_TRUE(s->ReadBytes(1000000000, bytes));  // only what is there
  EXPECT_EQ(bytes, std::string("\0x", 2));
  ASSERT_TRUE(s->ReadBytes(5, bytes));
  EXPECT_EQ(bytes, "");
}

TEST_F(StreamTest, OpenModes) {
  std::string path = File("m.txt", "keep\r\n");
  // Access by the low two bits; 3 is no access mode.
  EXPECT_FALSE(TextFileStream::Open(path, 3));
  EXPECT_FALSE(TextFileStream::Open(dir_ + "/missing.txt", 0));
  EXPECT_FALSE(TextFileStream::Open(dir_, 0));  // a folder
  auto ro = TextFileStream::Open(path, 0x40);   // read, deny none
  ASSERT_TRUE(ro);
  EXPECT_FALSE(ro->WriteLine("x"));
  auto wo = TextFileStream::Open(path, 0x11);  // write, exclusive
  ASSERT_TRUE(wo);
  std::string line;
  EXPECT_FALSE(wo->ReadLine(line));
  EXPECT_EQ(Slurp(path), "keep\r\n");
  // kCreate empties an existing file.
  auto cr = TextFileStream::Open(path, TextFileStream::kCreate);
  ASSERT_TRUE(cr);
  EXPECT_EQ(Slurp(path), "");
}

}  // namespace
}  // namespace sorane

// The stream behind a file handle of the language: an open file with one
// position, read line by line through a 4096-byte buffer or byte by byte, and
// written at that position.
//
// Lines end at LF, CR, CR LF or NUL (consumed with the line); a lead byte of a
// double-byte character always takes the next byte with it, also across a
// buffer refill. Writing a line writes the text and CR LF at the position, over
// whatever bytes were there (the file is not cut), and moves the position past
// it. Binary reads and writes use and move the same position, and seeking moves
// it for both, so line and byte access can be mixed freely. The end test looks
// at the position only: it is at or past the end of the file.
//
// A stream of UTF-8 lines (the run's text-file encoding) has no double-byte
// pairs, and its first line read from the start loses a byte-order mark; the
// handle commands convert the lines themselves.
//
// A write either happens whole or not at all: when it fails part-way (a full
// disk) the file is cut back to its old size and the bytes it overwrote get
// their old values, and the position stays where it was. A handle keeps
// the file it opened; when that file no longer has a name (書く replaced it, or
// it was deleted) its writes could reach no one, so they fail with ESTALE
// instead of vanishing silently. Reading it still gives the old content.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sorane {

class TextFileStream {
 public:
  // Mode of ハンドルを詳しく開く: kCreate creates or empties the file; any other
  // value opens an existing file with the access of its low two bits (0 read,
  // 1 write, 2 read and write; 3 is refused). The sharing bits 0x10-0x40 are
  // accepted and have no effect (files are not locked here).
  static constexpr int kCreate = 0xFFFF;
  static constexpr int kReadWrite = 2;

  ~TextFileStream();
  TextFileStream(const TextFileStream&) = delete;
  TextFileStream& operator=(const TextFileStream&) = delete;

  // nullptr on failure with errno set.
  static std::unique_ptr<TextFileStream> Open(const std::string& os_path, int mode);
  // Read and write; a missing file is created empty first.
  static std::unique_ptr<TextFileStream> OpenOrCreate(const std::string& os_path);

  // The next line without its line break; empty at the end of the file.
  // False when the file cannot be read (a write-only handle).
  bool ReadLine(std::string& line);
  void SetUtf8Lines(bool utf8) { utf8_ = utf8; }
  bool Utf8Lines() const { return utf8_; }
  bool WriteLine(std::string_view text);
  // Writes `count` bytes: the data's, then zero bytes when it is shorter.
  bool WriteBytes(std::string_view data, int64_t count);
  // Up to `count` bytes from the position (fewer at the end of the file).
  bool ReadBytes(int64_t count, std::string& out);

  bool AtEnd() const;
  void Seek(int64_t position);  // negative counts as 0
  void SeekToEnd();
  int64_t Position() const { return pos_; }
  int64_t Size() const;

 private:
  explicit TextFileStream(int fd) : fd_(fd) {}
  static std::unique_ptr<TextFileStream> FromDescriptor(int fd);
  // The byte at pos_, refilling the buffer when needed; -1 at the end (or on a
  // read failure, recorded in read_failed_).
  int ByteAt(int64_t pos);
  bool WriteAt(std::string_view bytes);
  bool WriteBytesAt(std::string_view data, int64_t count);
  // False with errno ESTALE when the open file is no longer in any folder.
  bool FileStillNamed() const;
  std::string BytesUnder(int64_t count, int64_t old_size) const;
  void UndoWrite(int64_t start, int64_t old_size, const std::string& overwritten);
  void DropBuffer() { buf_.clear(); }

  int fd_ = -1;
  int64_t pos_ = 0;  // the logical position: where the next read or write happens
  std::string buf_;  // bytes of the file from buf_start_
  int64_t buf_start_ = 0;
  bool read_failed_ = false;
  bool utf8_ = false;
};

}  // namespace sorane

// Archives: the format table and the switches, round trips through every
// writable format, archives made by other tools, Japanese entry names,
// hostile archives that must leave nothing outside the destination, and a
// self-extracting program run from another folder.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "interop/archive/archive_format.h"
#include "interop/archive/archive_io.h"
#include "test_files.h"
#include "test_process.h"
#include "text/encoding.h"

namespace sorane {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    char tmpl[] = "/tmp/sorane-archive-test-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path); }
};

// Every file, folder and link below `root`: relative name -> what it is.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    std::string name = it->path().lexically_relative(root).string();
    if (it->is_symlink())
      out[name] = "link " + fs::read_symlink(it->path()).string();
    else if (it->is_directory())
      out[name] = "folder";
    else
      out[name] = std::to_string(fs::file_size(it->path())) + " bytes";
  }
  return out;
}

bool SameBytes(const fs::path& a, const fs::path& b) {
  int fa = open(a.c_str(), O_RDONLY), fb = open(b.c_str(), O_RDONLY);
  std::string ba(1 << 20, '\0'), bb(1 << 20, '\0');
  bool same = fa >= 0 && fb >= 0;
  while (same) {
    ssize_t na = read(fa, ba.data(), ba.size()), nb = read(fb, bb.data(), bb.size());
    same = na == nb && na >= 0 && ba.compare(0, na, bb, 0, nb) == 0;
    if (na <= 0) break;
  }
  close(fa);
  close(fb);
  return same;
}

std::string Write(const fs::path& archive, const ArchiveFormat& format,
                  const std::vector<ArchiveSource>& sources, CompressSettings settings = {}) {
  int fd = open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string reason = WriteArchive(fd, format, sources, settings);
  close(fd);
  return SjisToUtf8(reason);
}

std::string Extract(const fs::path& archive, const fs::path& folder,
                    ExtractSettings settings = {}) {
  fs::create_directories(folder);
  settings.kind = FormatOfArchive(archive.string()).kind;
  return SjisToUtf8(ExtractArchive(archive, folder, settings, {}));
}

TEST(ArchiveFormats, ChosenByExtension) {
  EXPECT_EQ(FormatOfArchive("A.ZIP").writer, ArchiveWriter::kZip);
  EXPECT_EQ(FormatOfArchive("lib.jar").kind, ArchiveKind::kZip);
  EXPECT_EQ(FormatOfArchive("dir.v1/x.tar.gz").filter, ArchiveFilter::kGzip);
  EXPECT_EQ(FormatOfArchive("x.TBZ2").filter, ArchiveFilter::kBzip2);
  EXPECT_EQ(FormatOfArchive("x.taz").filter, ArchiveFilter::kLzw);
  // Read but never written.
  for (const char* name : {"a.lzh", "a.cab", "a.rar", "a.iso", "a.deb", "a.cpio", "a.exe"}) {
    EXPECT_TRUE(FormatOfArchive(name).readable) << name;
    EXPECT_EQ(FormatOfArchive(name).writer, ArchiveWriter::kNone) << name;
  }
  EXPECT_FALSE(FormatOfArchive("a.arj").readable);
  EXPECT_EQ(FormatOfArchive("a.gca").kind, ArchiveKind::kGca);
  EXPECT_EQ(FormatOfArchive("a.txt").kind, ArchiveKind::kNone);
  EXPECT_EQ(FormatOfArchive("zip").kind, ArchiveKind::kNone);
  // No extension: ".lzh"; a point in a folder name is no extension. The "\" of
  // ソ (0x83 0x5C) is part of the character.
  EXPECT_EQ(WithArchiveExtension("dir.v1/data"), "dir.v1/data.lzh");
  EXPECT_EQ(WithArchiveExtension(Utf8ToSjis("ソ.zip")), Utf8ToSjis("ソ.zip"));
  EXPECT_EQ(WithArchiveExtension(Utf8ToSjis("x.zip\\ソ")), Utf8ToSjis("x.zip\\ソ.lzh"));
}

TEST(ArchiverOptions, TokensBecomeSwitchesInTheirOrder) {
  ArchiverOptions o = ArchiverOptions::Parse("-x1 -r2 -gx0 -gw4 x -jso1 a9  -zz1 --a1 -jp");
  EXPECT_EQ(o.Get("x"), 1);
  EXPECT_EQ(o.Get("gw"), 4);
  EXPECT_EQ(o.Get("a"), 9);
  EXPECT_EQ(o.Get("gx", 7), 7);  // no such switch
  EXPECT_EQ(o.Text(), "-a9 -r2 -x1 -jso1 -gw4");
  EXPECT_EQ(ArchiverOptions::Names().size(), ArchiverOptions::kCount);
  o.Set("x", 0);
  EXPECT_EQ(ArchiverCommandLine("u", o, "a.lzh", "/b/", "c\r\nd\n"),
            "u -+ -a9 -r2 -x0 -jso1 -gw4 \"a.lzh\" \"/b/\" \"c\" \"d\"");
}

// A tree with Japanese names, nested and empty folders, an empty file, an
// executable and a link, through every writable format and back; with one
// 100 MB file (sparse zeros with marks, quick to make) in the formats that
// compress it quickly (xz, bzip2 and 7z take seconds for it).
TEST(ArchiveRoundTrip, EveryWritableFormat) {
  TempDir dir;
  fs::path src = dir.path / "元";
  fs::create_directories(src / "フォルダ/深い/もっと深い");
  fs::create_directories(src / "空のフォルダ");
  WriteRaw(src / "フォルダ/日本語の名前.txt", "中身");
  WriteRaw(src / "フォルダ/深い/もっと深い/空.dat", "");
  WriteRaw(src / "run.sh", "#!/bin/sh\n");
  chmod((src / "run.sh").c_str(), 0750);
  fs::create_symlink("フォルダ/日本語の名前.txt", src / "link");
  fs::path big = dir.path / "big.bin";
  {
    int fd = open(big.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(ftruncate(fd, 100 << 20), 0);
    for (off_t at : {off_t(0), off_t(50 << 20), off_t((100 << 20) - 4)})
      ASSERT_EQ(pwrite(fd, "MARK", 4, at), 4);
    close(fd);
  }
  std::map<std::string, std::string> tree = Tree(src);
  for (const char* name : {"a.zip", "a.jar", "a.tar", "a.tgz", "a.tar.gz", "a.taz", "a.tar.bz2",
                           "a.tar.xz", "a.tar.zst", "a.7z"}) {
    SCOPED_TRACE(name);
    std::string ext = name;
    bool with_big = ext == "a.zip" || ext == "a.tar" || ext == "a.tgz" || ext == "a.tar.zst";
    std::vector<ArchiveSource> sources = {{src, "元"}};
    if (with_big) sources.push_back({big, "big.bin"});
    fs::path archive = dir.path / name, out = dir.path / (ext + ".out");
    ASSERT_EQ(Write(archive, FormatOfArchive(name), sources), "");
    ASSERT_EQ(Extract(archive, out), "");
    EXPECT_EQ(Tree(out / "元"), tree);
    if (with_big) EXPECT_TRUE(SameBytes(big, out / "big.bin"));
    EXPECT_EQ(ReadAll(out / "元/フォルダ/日本語の名前.txt"), "中身");
    EXPECT_EQ(fs::status(out / "元/run.sh").permissions() & fs::perms::owner_exec,
              fs::perms::owner_exec);
    fs::remove_all(out);
  }
}

// A zip entry named in Shift-JIS without the UTF-8 flag, as Windows writes
// them, and one in UTF-8 with flag bit 11: both read right. A zip written here
// sets the flag on its non-ASCII names.
std::string Le(uint32_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 255);
  return s;
}

std::string StoredZip(const std::vector<std::pair<std::string, uint16_t>>& names) {
  std::string local, central;
  for (const auto& [name, flags] : names) {
    uint32_t offset = local.size();
    std::string common = Le(flags, 2) + Le(0, 2) + Le(0, 4) + Le(0, 4) + Le(0, 4) + Le(0, 4) +
                         Le(name.size(), 2) + Le(0, 2);
    local += "PK\3\4" + Le(20, 2) + common + name;
    central += "PK\1\2" + Le(20, 2) + Le(20, 2) + common + Le(0, 2) + Le(0, 2) + Le(0, 2) +
               Le(0, 4) + Le(offset, 4) + name;
  }
  return local + central + "PK\5\6" + Le(0, 4) + Le(names.size(), 2) + Le(names.size(), 2) +
         Le(central.size(), 4) + Le(local.size(), 4) + Le(0, 2);
}

TEST(ArchiveNames, ShiftJisAndUtf8ZipNames) {
  TempDir dir;
  WriteRaw(dir.path / "names.zip",
           StoredZip({{Utf8ToSjis("表示\\ソース.txt"), 0}, {"ユニコード.txt", 0x800}}));
  ASSERT_EQ(Extract(dir.path / "names.zip", dir.path / "out"), "");
  EXPECT_EQ(
      Tree(dir.path / "out"),
      (std::map<std::string, std::string>{
          {"表示", "folder"}, {"表示/ソース.txt", "0 bytes"}, {"ユニコード.txt", "0 bytes"}}));

  WriteRaw(dir.path / "日本語.txt", "x");
  ASSERT_EQ(Write(dir.path / "w.zip", FormatOfArchive("w.zip"),
                  {{dir.path / "日本語.txt", "日本語.txt"}}),
            "");
  std::string zip = ReadAll(dir.path / "w.zip");
  size_t central = zip.find("PK\1\2");
  ASSERT_NE(central, std::string::npos);
  EXPECT_EQ(static_cast<uint8_t>(zip[central + 9]) & 0x08, 0x08);  // bit 11 of the flags
  EXPECT_EQ(zip.substr(central + 46, 13), "日本語.txt");
}

// An lzh archive as Windows tools write them (level 0 header, stored data,
// Shift-JIS name with "\" between folders).
std::string Lzh(const std::string& name, const std::string& data) {
  uint16_t crc = 0;
  for (unsigned char b : data) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  std::string h = "-lh0-" + Le(data.size(), 4) + Le(data.size(), 4) + Le(0x5A210000, 4) + "\x20" +
                  std::string(1, '\0') + Le(name.size(), 1) + name + Le(crc, 2);
  unsigned sum = 0;
  for (unsigned char b : h) sum += b;
  return Le(h.size(), 1) + Le(sum & 255, 1) + h + data + std::string(1, '\0');
}

bool Has(const char* tool) {
  return system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0;
}

TEST(ArchiveNames, ArchivesOfOtherTools) {
  TempDir dir;
  std::string lzh = Lzh(Utf8ToSjis("表\\ソフト.txt"), "lzh data");
  WriteRaw(dir.path / "w.lzh", lzh);
  if (Has("lha")) {  // the fixture is what an lzh reader expects
    ProcessRun check = RunProcess("/bin/sh", {"-c", "lha t w.lzh"}, dir.path);
    EXPECT_EQ(check.status, 0) << check.out << check.err;
  }
  ASSERT_EQ(Extract(dir.path / "w.lzh", dir.path / "lzh"), "");
  EXPECT_EQ(ReadAll(dir.path / "lzh/表/ソフト.txt"), "lzh data");

  if (!Has("bsdtar") || !Has("7z")) GTEST_SKIP() << "bsdtar or 7z missing";
  fs::create_directories(dir.path / "src/空/下");
  WriteRaw(dir.path / "src/名前.txt", "tools");
  const std::pair<const char*, const char*> made_by[] = {
      {"bsdtar -czf t.tgz -C src .", "t.tgz"},
      {"bsdtar --format zip -cf t.zip -C src .", "t.zip"},
      {"cd src && 7z a -bd ../t.7z . >/dev/null", "t.7z"},
      {"cd src && 7z a -bd ../s.zip . >/dev/null", "s.zip"},
      {"bsdtar --format iso9660 -cf t.iso -C src .", "t.iso"},
      {"bsdtar --format cpio -cf t.cpio -C src .", "t.cpio"},
  };
  for (const auto& [make, archive] : made_by) {
    SCOPED_TRACE(make);
    ProcessRun made = RunProcess("/bin/sh", {"-c", make}, dir.path);
    ASSERT_EQ(made.status, 0) << made.err;
    fs::remove_all(dir.path / "out");
    ASSERT_EQ(Extract(dir.path / archive, dir.path / "out"), "");
    EXPECT_EQ(Tree(dir.path / "out"), Tree(dir.path / "src"));
  }
  if (Has("gcab")) {  // cab holds files only
    ProcessRun made =
        RunProcess("/bin/sh", {"-c", "cd src && gcab -c ../t.cab 名前.txt"}, dir.path);
    ASSERT_EQ(made.status, 0) << made.err;
    ASSERT_EQ(Extract(dir.path / "t.cab", dir.path / "cab"), "");
    EXPECT_EQ(ReadAll(dir.path / "cab/名前.txt"), "tools");
  }
  // And they read ours: names and contents.
  ASSERT_EQ(Write(dir.path / "ours.7z", FormatOfArchive("a.7z"), {{dir.path / "src", "src"}}), "");
  ASSERT_EQ(Write(dir.path / "ours.zip", FormatOfArchive("a.zip"), {{dir.path / "src", "src"}}),
            "");
  ProcessRun read = RunProcess("/bin/sh",
                               {"-c",
                                "7z x -bd -oa ours.7z >/dev/null && "
                                "bsdtar -xf ours.zip -C . && cat a/src/名前.txt "
                                "src/名前.txt && test -d a/src/空/下"},
                               dir.path);
  EXPECT_EQ(read.out, "toolstools") << read.err;
}

// ---------------------------------------------------------------- hostile archives

struct Hostile {
  std::string name;
  std::function<void(struct archive*)> entries;
};

void AddEntry(struct archive* a, const std::string& path, mode_t type, const std::string& data = "",
              const char* link = nullptr, bool hard = false, mode_t perm = 0644) {
  struct archive_entry* e = archive_entry_new();
  archive_entry_copy_pathname(e, path.c_str());
  archive_entry_set_filetype(e, type);
  archive_entry_set_perm(e, perm);
  archive_entry_set_size(e, data.size());
  if (link && hard) archive_entry_copy_hardlink(e, link);
  if (link && !hard) archive_entry_copy_symlink(e, link);
  archive_write_header(a, e);
  if (!data.empty()) archive_write_data(a, data.data(), data.size());
  archive_entry_free(e);
}

void WriteTar(const fs::path& file, const std::function<void(struct archive*)>& entries) {
  struct archive* a = archive_write_new();
  archive_write_set_format_pax_restricted(a);
  archive_write_open_filename(a, file.c_str());
  entries(a);
  archive_write_free(a);
}

// Every archive that tries to leave the folder fails with nothing outside;
// unsafe entries that stay inside are defused.
TEST(ArchiveHostile, NothingLandsOutside) {
  TempDir dir;
  fs::path outside = dir.path / "outside", dest = dir.path / "in/dest";
  fs::create_directories(outside);
  WriteRaw(outside / "victim", "victim");
  std::string out = outside.string();
  std::vector<Hostile> cases = {
      {"dotdot",
       [](auto a) {
         AddEntry(a, "ok.txt", AE_IFREG, "ok");
         AddEntry(a, "../../outside/x", AE_IFREG, "x");
       }},
      {"backslash", [](auto a) { AddEntry(a, "a\\..\\..\\..\\outside\\x", AE_IFREG, "x"); }},
      {"absolute", [out](auto a) { AddEntry(a, out + "/x", AE_IFREG, "x"); }},
      {"drive", [](auto a) { AddEntry(a, "C:\\x", AE_IFREG, "x"); }},
      {"link then file",
       [out](auto a) {
         AddEntry(a, "l", AE_IFLNK, "", out.c_str());
         AddEntry(a, "l/x", AE_IFREG, "x");
       }},
      {"relative link", [](auto a) { AddEntry(a, "d/l", AE_IFLNK, "", "../../../outside"); }},
      {"link turned by a later link",
       [](auto a) {
         AddEntry(a, "a", AE_IFLNK, "", "x/..");
         AddEntry(a, "x", AE_IFLNK, "", ".");
       }},
      {"hard link", [](auto a) { AddEntry(a, "h", AE_IFREG, "", "../../outside/victim", true); }},
      {"hard link abs",
       [out](auto a) { AddEntry(a, "h", AE_IFREG, "", (out + "/victim").c_str(), true); }},
  };
  for (const Hostile& h : cases) {
    SCOPED_TRACE(h.name);
    fs::path tar = dir.path / (h.name + ".tar");
    WriteTar(tar, h.entries);
    std::string reason = Extract(tar, dest);
    EXPECT_NE(reason.find("解凍先の外を指しています"), std::string::npos) << reason;
    EXPECT_EQ(Tree(outside), (std::map<std::string, std::string>{{"victim", "6 bytes"}}));
    EXPECT_EQ(ReadAll(outside / "victim"), "victim");
    EXPECT_FALSE(fs::exists(dir.path / "in/outside"));
    EXPECT_FALSE(fs::exists(dest / "a"));
    fs::remove_all(dest);
  }
  // A link already in the destination is not written through.
  fs::create_directories(dest);
  fs::create_symlink(outside, dest / "planted");
  WriteTar(dir.path / "through.tar", [](auto a) { AddEntry(a, "planted/x", AE_IFREG, "x"); });
  EXPECT_NE(Extract(dir.path / "through.tar", dest).find("外を指して"), std::string::npos);
  EXPECT_FALSE(fs::exists(outside / "x"));
  fs::remove_all(dest);

  // Devices, FIFOs and sockets are skipped; set-uid, set-gid and sticky bits
  // dropped; links and hard links inside are kept.
  WriteTar(dir.path / "special.tar", [](auto a) {
    AddEntry(a, "dev", AE_IFCHR);
    AddEntry(a, "fifo", AE_IFIFO);
    AddEntry(a, "suid", AE_IFREG, "#!/bin/sh\n", nullptr, false, 07755);
    AddEntry(a, "same", AE_IFREG, "", "suid", true);
    AddEntry(a, "sub/up", AE_IFLNK, "", "../suid");
  });
  ASSERT_EQ(Extract(dir.path / "special.tar", dest), "");
  EXPECT_EQ(Tree(dest), (std::map<std::string, std::string>{{"same", "10 bytes"},
                                                            {"sub", "folder"},
                                                            {"sub/up", "link ../suid"},
                                                            {"suid", "10 bytes"}}));
  struct stat st;
  ASSERT_EQ(stat((dest / "suid").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07000, 0u);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u);
}

// The size limit: a declared size beyond it is refused before anything is
// written; data beyond it (a bomb that declares nothing) stops the extraction
// and its file goes.
TEST(ArchiveHostile, SizeLimit) {
  TempDir dir;
  fs::path dest = dir.path / "dest";
  // A tar header declaring 8 GiB with no data behind it.
  std::string header(512, '\0');
  header.replace(0, 4, "huge");
  header.replace(100, 8, "0000644");
  header.replace(124, 12, "77777777777");
  header.replace(136, 12, "00000000000");
  header[156] = '0';
  header.replace(257, 6, std::string("ustar\0", 6));
  header.replace(263, 2, "00");
  header.replace(148, 8, "        ");
  unsigned sum = 0;
  for (unsigned char b : header) sum += b;
  char check[8];
  snprintf(check, sizeof check, "%06o", sum);
  header.replace(148, 7, std::string(check, 7));
  WriteRaw(dir.path / "huge.tar", header + std::string(1024, '\0'));
  ExtractSettings small;
  small.max_bytes = 16 << 20;
  EXPECT_NE(Extract(dir.path / "huge.tar", dest, small).find("上限"), std::string::npos);
  EXPECT_FALSE(fs::exists(dest / "huge"));
  // With the default limit (the free space) the missing data is the failure.
  EXPECT_NE(Extract(dir.path / "huge.tar", dest), "");

  // 64 MB of one letter in a zip (declared in its directory) and in a bare .gz
  // (nothing declared).
  std::string repeated(1 << 20, 'x');
  for (const char* name : {"bomb.zip", "bomb.gz"}) {
    SCOPED_TRACE(name);
    struct archive* a = archive_write_new();
    if (std::string(name) == "bomb.zip") {
      archive_write_set_format_zip(a);
    } else {
      archive_write_set_format_raw(a);
      archive_write_add_filter_gzip(a);
    }
    archive_write_open_filename(a, (dir.path / name).c_str());
    struct archive_entry* e = archive_entry_new();
    archive_entry_copy_pathname(e, "bomb");
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_size(e, 64 << 20);
    archive_write_header(a, e);
    for (int i = 0; i < 64; ++i) archive_write_data(a, repeated.data(), repeated.size());
    archive_entry_free(e);
    archive_write_free(a);
    EXPECT_LT(fs::file_size(dir.path / name), 1u << 20);
    small.single_name = "bomb";
    EXPECT_NE(Extract(dir.path / name, dest, small).find("上限(16777216バイト)"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dest / "bomb"));
  }
}

// 自己解凍書庫作成 through the executable: the program extracts its files in
// another folder, and no temporary file of the run is left.
TEST(SelfExtracting, RunsFromAnotherFolder) {
  TempDir work, elsewhere, tmp;
  fs::create_directories(work.path / "files/空");
  WriteRaw(work.path / "files/日本語.txt", "sfx");
  ProcessRun make =
      RunProcess(SORANE_EXE, {"--console", "--eval", "「files」を、「setup」へ、自己解凍書庫作成"},
                 work.path, {"TMPDIR=" + tmp.path.string()});
  ASSERT_EQ(make.status, 0) << make.err;
  EXPECT_TRUE(fs::is_empty(tmp.path));
  fs::rename(work.path / "setup", elsewhere.path / "setup");
  fs::remove_all(work.path / "files");
  ProcessRun run = RunProcess(elsewhere.path / "setup", {"--console", "into", "-security", "low"},
                              work.path, {"TMPDIR=" + tmp.path.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "intoへ解凍しました。\n");
  EXPECT_EQ(ReadAll(work.path / "into/files/日本語.txt"), "sfx");
  EXPECT_TRUE(fs::is_directory(work.path / "into/files/空"));
  EXPECT_TRUE(fs::is_empty(tmp.path));

  // An .lzh archive is packed as it is.
  WriteRaw(work.path / "data.lzh", Lzh(Utf8ToSjis("表\\ソフト.txt"), "from lzh"));
  make =
      RunProcess(SORANE_EXE, {"--console", "--eval", "「data.lzh」を、「lzh」へ、自己解凍書庫作成"},
                 work.path);
  ASSERT_EQ(make.status, 0) << make.err;
  run = RunProcess(work.path / "lzh", {"--console", "x"}, work.path);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadAll(work.path / "x/表/ソフト.txt"), "from lzh");
}

}  // namespace
}  // namespace sorane

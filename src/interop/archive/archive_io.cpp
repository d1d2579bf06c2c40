#include "interop/archive/archive_io.h"

#include <archive.h>
#include <archive_entry.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <locale.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/lazy_library.h"
#include "platform/path_resolve.h"
#include "policy/security.h"
#include "text/encoding.h"

namespace sorane {

namespace {

// The libarchive functions called here, through pointers of their own names
// (platform/lazy_library.h), set once LoadArchive() is true.
// clang-format off
#define SORANE_ARCHIVE_FUNCTIONS(F)                                                        \
  F(archive_entry_new) F(archive_entry_free) F(archive_entry_copy_stat)                    \
  F(archive_entry_copy_pathname) F(archive_entry_copy_symlink) F(archive_entry_copy_hardlink) \
  F(archive_entry_set_perm) F(archive_entry_pathname) F(archive_entry_symlink)             \
  F(archive_entry_hardlink) F(archive_entry_filetype) F(archive_entry_perm)                \
  F(archive_entry_size) F(archive_entry_size_is_set) F(archive_entry_mtime)                \
  F(archive_entry_mtime_nsec) F(archive_entry_mtime_is_set)                                \
  F(archive_error_string) F(archive_format) F(archive_filter_code) F(archive_free)         \
  F(archive_read_new) F(archive_read_support_filter_all) F(archive_read_support_format_all) \
  F(archive_read_support_format_raw) F(archive_read_set_options) F(archive_read_open_fd)   \
  F(archive_read_next_header) F(archive_read_data_block) F(archive_read_data_skip)         \
  F(archive_write_new) F(archive_write_set_format_zip) F(archive_write_set_format_7zip)    \
  F(archive_write_set_format_pax_restricted) F(archive_write_set_format_option)            \
  F(archive_write_zip_set_compression_store) F(archive_write_add_filter_gzip)              \
  F(archive_write_add_filter_compress) F(archive_write_add_filter_bzip2)                   \
  F(archive_write_add_filter_xz) F(archive_write_add_filter_zstd) F(archive_write_open_fd) \
  F(archive_write_header) F(archive_write_data) F(archive_write_data_block)                \
  F(archive_write_finish_entry) F(archive_write_close) F(archive_write_disk_new)           \
  F(archive_write_disk_set_options)
// clang-format on
SORANE_ARCHIVE_FUNCTIONS(SORANE_LAZY_DEFINE)
SORANE_LAZY_LOADER(LoadArchive, SORANE_ARCHIVE_FUNCTIONS, "libarchive.so.13", "libarchive13")

// The reason of every archive command when the library cannot be loaded.
std::string NoLibrary() {
  return SJ("libarchiveを読み込めません。");
}

constexpr size_t kBlock = 64 << 10;

// While it lives, the archive library converts names to and from UTF-8 on this
// thread, whatever locale the process runs in (names then pass as UTF-8 bytes).
class Utf8Names {
 public:
  Utf8Names() {
    utf8_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8_) old_ = uselocale(utf8_);
  }
  ~Utf8Names() {
    if (!utf8_) return;
    uselocale(old_);
    freelocale(utf8_);
  }
  Utf8Names(const Utf8Names&) = delete;
  Utf8Names& operator=(const Utf8Names&) = delete;

 private:
  locale_t utf8_ = static_cast<locale_t>(0);
  locale_t old_ = static_cast<locale_t>(0);
};

// The current folder is `folder` while it lives (extraction names entries
// relative to it, so the library's refusal of absolute names holds).
class InFolder {
 public:
  explicit InFolder(const std::string& folder) {
    saved_ = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    ok_ = saved_ >= 0 && chdir(folder.c_str()) == 0;
  }
  ~InFolder() {
    if (saved_ < 0) return;
    if (ok_ && fchdir(saved_) != 0) {
      // The old folder is unreachable; the run goes on where it is.
    }
    close(saved_);
  }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;
  bool ok() const { return ok_; }

 private:
  int saved_ = -1;
  bool ok_ = false;
};

struct ArchiveDeleter {
  void operator()(struct archive* a) const { archive_free(a); }
};
using ArchivePtr = std::unique_ptr<struct archive, ArchiveDeleter>;
struct EntryDeleter {
  void operator()(struct archive_entry* e) const { archive_entry_free(e); }
};
using EntryPtr = std::unique_ptr<struct archive_entry, EntryDeleter>;

std::string LibraryReason(struct archive* a) {
  const char* s = archive_error_string(a);
  return Utf8ToSjisKeepingBytes(s ? s : "unknown error");
}

std::string SystemFailure(int err) {
  return SystemReason(err);
}

std::string Shown(const std::string& os_name) {
  return "\"" + FromOsPath(os_name) + "\"";
}

// ---------------------------------------------------------------- writing

class ArchiveWriterRun {
 public:
  ArchiveWriterRun(struct archive* a, const CompressSettings& settings, int own_fd)
      : a_(a), settings_(settings), buffer_(kBlock) {
    struct stat st;
    if (fstat(own_fd, &st) == 0) {
      own_dev_ = st.st_dev;
      own_ino_ = st.st_ino;
    }
  }

  // One listed name: followed when it is a link.
  std::string AddListed(const ArchiveSource& source) {
    struct stat st;
    if (stat(source.path.c_str(), &st) != 0)
      return Shown(source.path) + SJ("が読めません。") + SystemFailure(errno);
    return Add(source.path, source.entry, st, true);
  }

 private:
  bool IsOwnFile(const struct stat& st) const {
    return st.st_dev == own_dev_ && st.st_ino == own_ino_;
  }

  std::string Add(const std::string& path, const std::string& entry, const struct stat& st,
                  bool listed) {
    if (IsOwnFile(st)) return {};
    // The base folder itself: what is inside it, under their own names.
    if (entry.empty())
      return S_ISDIR(st.st_mode) && settings_.recurse ? AddChildren(path, entry) : "";
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode)) {
      if (listed) return Shown(path) + SJ("は通常のファイルでもフォルダでもありません。");
      return {};
    }
    EntryPtr e(archive_entry_new());
    archive_entry_copy_stat(e.get(), &st);
    archive_entry_set_perm(e.get(), st.st_mode & 07777);
    archive_entry_copy_pathname(e.get(), entry.c_str());
    int fd = -1;
    if (S_ISLNK(st.st_mode)) {
      std::string target(PATH_MAX, '\0');
      ssize_t n = readlink(path.c_str(), target.data(), target.size());
      if (n < 0) return Shown(path) + SJ("が読めません。") + SystemFailure(errno);
      target.resize(static_cast<size_t>(n));
      archive_entry_copy_symlink(e.get(), target.c_str());
    } else if (S_ISREG(st.st_mode)) {
      fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (listed ? 0 : O_NOFOLLOW));
      struct stat now;
      if (fd < 0 || fstat(fd, &now) != 0 || !S_ISREG(now.st_mode)) {
        int err = fd < 0 ? errno : EINVAL;
        if (fd >= 0) close(fd);
        return Shown(path) + SJ("が読めません。") + SystemFailure(err);
      }
    }
    std::string reason;
    if (archive_write_header(a_, e.get()) < ARCHIVE_WARN) reason = LibraryReason(a_);
    if (reason.empty() && fd >= 0) reason = CopyData(fd, path);
    if (fd >= 0) close(fd);
    if (!reason.empty()) return reason;
    if (archive_write_finish_entry(a_) < ARCHIVE_WARN) return LibraryReason(a_);
    if (S_ISDIR(st.st_mode) && settings_.recurse) return AddChildren(path, entry);
    return {};
  }

  std::string CopyData(int fd, const std::string& path) {
    for (;;) {
      ssize_t n = read(fd, buffer_.data(), buffer_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return Shown(path) + SJ("が読めません。") + SystemFailure(errno);
      if (n == 0) return {};
      if (archive_write_data(a_, buffer_.data(), static_cast<size_t>(n)) < 0)
        return LibraryReason(a_);
    }
  }

  std::string AddChildren(const std::string& folder, const std::string& entry) {
    std::vector<DirEntry> children;
    if (!ListOsFolder(folder, children))
      return Shown(folder) + SJ("が読めません。") + SystemFailure(errno);
    std::sort(children.begin(), children.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    for (const DirEntry& child : children) {
      if (!settings_.hidden && child.name[0] == '.') continue;
      std::string path = folder + "/" + child.name;
      struct stat st;
      if (lstat(path.c_str(), &st) != 0)
        return Shown(path) + SJ("が読めません。") + SystemFailure(errno);
      std::string reason =
          Add(path, entry.empty() ? child.name : entry + "/" + child.name, st, false);
      if (!reason.empty()) return reason;
    }
    return {};
  }

  struct archive* a_;
  const CompressSettings& settings_;
  std::vector<char> buffer_;
  dev_t own_dev_ = 0;
  ino_t own_ino_ = 0;
};

bool SetWriteFormat(struct archive* a, const ArchiveFormat& format, bool store_only) {
  switch (format.writer) {
    case ArchiveWriter::kZip:
      if (archive_write_set_format_zip(a) != ARCHIVE_OK) return false;
      if (archive_write_set_format_option(a, "zip", "hdrcharset", "UTF-8") < ARCHIVE_WARN)
        return false;
      return !store_only || archive_write_zip_set_compression_store(a) == ARCHIVE_OK;
    case ArchiveWriter::kSevenZip:
      if (archive_write_set_format_7zip(a) != ARCHIVE_OK) return false;
      return !store_only ||
             archive_write_set_format_option(a, "7zip", "compression", "store") == ARCHIVE_OK;
    case ArchiveWriter::kTar:
      if (archive_write_set_format_pax_restricted(a) != ARCHIVE_OK) return false;
      switch (format.filter) {
        case ArchiveFilter::kNone:
          return true;
        case ArchiveFilter::kGzip:
          return archive_write_add_filter_gzip(a) == ARCHIVE_OK;
        case ArchiveFilter::kLzw:
          return archive_write_add_filter_compress(a) == ARCHIVE_OK;
        case ArchiveFilter::kBzip2:
          return archive_write_add_filter_bzip2(a) == ARCHIVE_OK;
        case ArchiveFilter::kXz:
          return archive_write_add_filter_xz(a) == ARCHIVE_OK;
        case ArchiveFilter::kZstd:
          return archive_write_add_filter_zstd(a) == ARCHIVE_OK;
      }
      return false;
    case ArchiveWriter::kNone:
      break;
  }
  return false;
}

// ---------------------------------------------------------------- extracting

// The entry's OS name as a clean relative path: "." and empty parts dropped.
// False for an absolute name ("/x", "//host/x", "C:x") or one holding "..".
bool CleanEntryPath(const std::string& name, std::string& clean) {
  clean.clear();
  if (name.empty()) return true;
  if (name[0] == '/') return false;
  if (name.size() >= 2 && name[1] == ':' && ((name[0] | 0x20) >= 'a' && (name[0] | 0x20) <= 'z'))
    return false;
  for (size_t pos = 0; pos <= name.size();) {
    size_t end = name.find('/', pos);
    if (end == std::string::npos) end = name.size();
    std::string part = name.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return false;
    if (!clean.empty()) clean += '/';
    clean += part;
  }
  return true;
}

std::string LastPart(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// True when `path` is a file modified after the entry was (to the nanosecond
// where the archive keeps them).
bool NewerOnDisk(const std::string& path, struct archive_entry* e) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !archive_entry_mtime_is_set(e))
    return false;
  time_t sec = archive_entry_mtime(e);
  long nsec = archive_entry_mtime_nsec(e);
  return st.st_mtim.tv_sec > sec || (st.st_mtim.tv_sec == sec && st.st_mtim.tv_nsec > nsec);
}

bool InsideOrAt(const std::string& real, const std::string& folder) {
  return real == folder || IsInsideFolder(real, folder);
}

class Extraction {
 public:
  Extraction(struct archive* in, struct archive* out, const std::string& folder,
             const ExtractSettings& settings, const EntryGuard& guard)
      : in_(in), out_(out), folder_(folder), settings_(settings), guard_(guard) {}

  std::string Run(uint64_t limit) {
    limit_ = limit;
    struct archive_entry* e;
    for (;;) {
      int rc = archive_read_next_header(in_, &e);
      if (rc == ARCHIVE_EOF) break;
      if (rc < ARCHIVE_WARN) return LibraryReason(in_);
      std::string reason = Entry(e);
      if (!reason.empty()) return reason;
    }
    if (archive_write_close(out_) < ARCHIVE_WARN) return LibraryReason(out_);
    return CheckLinks();
  }

 private:
  std::string Outside(const std::string& name) {
    return SJ("項目") + Shown(name) + SJ("は解凍先の外を指しています。");
  }

  // The entry's relative destination, or a reason.
  std::string Destination(const char* raw, std::string& rel) {
    std::string name = raw ? EntryNameToOs(raw) : std::string();
    if (archive_format(in_) == ARCHIVE_FORMAT_RAW && !settings_.single_name.empty())
      name = settings_.single_name;
    if (!CleanEntryPath(name, rel)) return Outside(name);
    if (!settings_.keep_paths) rel = LastPart(rel);
    return {};
  }

  std::string Entry(struct archive_entry* e) {
    mode_t type = archive_entry_filetype(e);
    const char* hardlink = archive_entry_hardlink(e);
    bool is_dir = type == AE_IFDIR, is_link = type == AE_IFLNK;
    if (!hardlink && type != AE_IFREG && !is_dir && !is_link) return Skip();  // devices, FIFOs
    if (is_dir && !settings_.keep_paths) return Skip();
    std::string rel;
    std::string reason = Destination(archive_entry_pathname(e), rel);
    if (!reason.empty()) return reason;
    if (rel.empty()) return Skip();
    std::string dest = folder_ + "/" + rel;
    // The name itself is replaced (never written through); the folders on the
    // way are followed as the library would walk them.
    ResolvedPath real = ResolveOsPath(dest, FinalLink::kKeep);
    if (!real.ok || !IsInsideFolder(real.real, folder_)) return Outside(rel);
    if (is_link) {
      const char* target = archive_entry_symlink(e);
      std::string to = target ? target : "";
      std::string from = to.size() && to[0] == '/' ? to : FolderOf(real.real) + "/" + to;
      ResolvedPath leads = ResolveOsPath(from, FinalLink::kFollow);
      if (to.empty() || !leads.ok || !InsideOrAt(leads.real, folder_)) return Outside(rel);
    }
    if (hardlink) {
      std::string target;
      std::string why = Destination(hardlink, target);
      if (!why.empty()) return why;
      ResolvedPath leads = ResolveOsPath(folder_ + "/" + target, FinalLink::kFollow);
      if (target.empty() || !leads.ok || !IsInsideFolder(leads.real, folder_))
        return Outside(target);
      archive_entry_copy_hardlink(e, target.c_str());
    }
    if (guard_ && !guard_(dest)) return Skip();
    if (!settings_.overwrite_newer && !is_dir && NewerOnDisk(dest, e)) return Skip();
    if (type == AE_IFREG && archive_entry_size_is_set(e)) {
      uint64_t size = static_cast<uint64_t>(std::max<la_int64_t>(archive_entry_size(e), 0));
      if (size > limit_ - std::min(limit_, written_)) return TooLarge(rel);
    }
    archive_entry_copy_pathname(e, rel.c_str());
    archive_entry_set_perm(e, archive_entry_perm(e) & 0777);
    if (archive_write_header(out_, e) < ARCHIVE_WARN) return Failed(rel, out_);
    if (type == AE_IFREG) {
      std::string why = CopyData(rel);
      if (!why.empty()) {
        archive_write_finish_entry(out_);
        unlink(rel.c_str());
        return why;
      }
    }
    if (archive_write_finish_entry(out_) < ARCHIVE_WARN) return Failed(rel, out_);
    if (is_link) links_.push_back(rel);
    return {};
  }

  std::string CopyData(const std::string& rel) {
    const void* buf;
    size_t size;
    la_int64_t offset;
    for (;;) {
      int rc = archive_read_data_block(in_, &buf, &size, &offset);
      if (rc == ARCHIVE_EOF) return {};
      if (rc < ARCHIVE_WARN) return Failed(rel, in_);
      written_ += size;
      if (written_ > limit_) return TooLarge(rel);
      if (archive_write_data_block(out_, buf, size, offset) < ARCHIVE_WARN)
        return Failed(rel, out_);
    }
  }

  // A link made by a later entry can change where an earlier link leads
  // ("a" -> "x/.." before "x" -> "."): every link is judged again at the end,
  // and one that leads out goes.
  std::string CheckLinks() {
    std::string reason;
    for (const std::string& rel : links_) {
      ResolvedPath leads = ResolveOsPath(folder_ + "/" + rel, FinalLink::kFollow);
      if (leads.ok && InsideOrAt(leads.real, folder_)) continue;
      unlink(rel.c_str());
      if (reason.empty()) reason = Outside(rel);
    }
    return reason;
  }

  std::string Skip() {
    if (archive_read_data_skip(in_) < ARCHIVE_WARN) return LibraryReason(in_);
    return {};
  }

  std::string TooLarge(const std::string& rel) {
    return SJ("項目") + Shown(rel) + SJ("を解凍すると、解凍できる大きさの上限(") +
           std::to_string(limit_) + SJ("バイト)を超えます。");
  }

  std::string Failed(const std::string& rel, struct archive* a) {
    return SJ("項目") + Shown(rel) + SJ("を解凍できません。") + LibraryReason(a);
  }

  struct archive* in_;
  struct archive* out_;
  const std::string& folder_;
  const ExtractSettings& settings_;
  const EntryGuard& guard_;
  uint64_t limit_ = 0;
  uint64_t written_ = 0;
  std::vector<std::string> links_;  // links made, relative to the folder
};

// True when every header of the archive on `fd` reads with its names taken as
// they are (the reader refuses names that are not UTF-8 unless told their
// encoding). The file is read from its start and left there.
bool NamesReadAsTheyAre(int fd) {
  bool ok = true;
  {
    ArchivePtr probe(archive_read_new());
    archive_read_support_filter_all(probe.get());
    archive_read_support_format_all(probe.get());
    struct archive_entry* e;
    int rc = archive_read_open_fd(probe.get(), fd, kBlock);
    while (rc == ARCHIVE_OK || rc == ARCHIVE_WARN) {
      rc = archive_read_next_header(probe.get(), &e);
      if (rc == ARCHIVE_OK || rc == ARCHIVE_WARN) rc = archive_read_data_skip(probe.get());
    }
    ok = rc == ARCHIVE_EOF;
  }
  lseek(fd, 0, SEEK_SET);
  return ok;
}

uint64_t FreeSpaceLimit(const std::string& folder) {
  struct statvfs fs;
  if (statvfs(folder.c_str(), &fs) != 0) return 0;
  uint64_t free = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
  return free > kExtractReserve ? free - kExtractReserve : 0;
}

}  // namespace

std::string EntryNameToOs(const std::string& raw) {
  bool ascii = std::all_of(raw.begin(), raw.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii && !LooksLikeUtf8(raw)) return ToOsPath(raw);  // Shift-JIS
  std::string name = raw;
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

std::string WriteArchive(int fd, const ArchiveFormat& format,
                         const std::vector<ArchiveSource>& sources,
                         const CompressSettings& settings) {
  if (!LoadArchive()) return NoLibrary();
  Utf8Names names;
  ArchivePtr a(archive_write_new());
  if (!a || !SetWriteFormat(a.get(), format, settings.store_only))
    return SJ("この形式では書庫ファイルの作成をサポートしておりません。");
  if (archive_write_open_fd(a.get(), fd) != ARCHIVE_OK) return LibraryReason(a.get());
  ArchiveWriterRun run(a.get(), settings, fd);
  for (const ArchiveSource& source : sources) {
    std::string reason = run.AddListed(source);
    if (!reason.empty()) return reason;
  }
  if (archive_write_close(a.get()) != ARCHIVE_OK) return LibraryReason(a.get());
  return {};
}

std::string ExtractArchive(const std::string& archive, const std::string& folder,
                           const ExtractSettings& settings, const EntryGuard& guard) {
  if (!LoadArchive()) return NoLibrary();
  int fd = open(archive.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    int err = fd < 0 ? errno : EINVAL;
    if (fd >= 0) close(fd);
    return Shown(archive) + SJ("が読めません。") + SystemFailure(err);
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::unique_ptr<int, void (*)(int*)> closer(&fd, [](int* f) { close(*f); });

  char real[PATH_MAX];
  if (!realpath(folder.c_str(), real))
    return Shown(folder) + SJ("へ書き込めません。") + SystemFailure(errno);
  std::string base = real;
  uint64_t limit = settings.max_bytes ? settings.max_bytes : FreeSpaceLimit(base);

  Utf8Names names;
  ArchivePtr in(archive_read_new());
  archive_read_support_filter_all(in.get());
  archive_read_support_format_all(in.get());
  if (!settings.single_name.empty()) archive_read_support_format_raw(in.get());
  archive_read_set_options(in.get(), "cab:hdrcharset=CP932,rar:hdrcharset=CP932");
  if ((settings.kind == ArchiveKind::kLha || settings.kind == ArchiveKind::kExe) &&
      !NamesReadAsTheyAre(fd))
    archive_read_set_options(in.get(), "lha:hdrcharset=CP932");
  if (archive_read_open_fd(in.get(), fd, kBlock) != ARCHIVE_OK) return LibraryReason(in.get());
  if (archive_format(in.get()) == ARCHIVE_FORMAT_RAW &&
      archive_filter_code(in.get(), 0) == ARCHIVE_FILTER_NONE)
    return SJ("書庫の形式を判別できません。");

  // The writer finishes its folders (times, modes) by relative names when it
  // is closed or freed, so it goes before the current folder is restored.
  InFolder here(base);
  if (!here.ok()) return Shown(folder) + SJ("へ書き込めません。") + SystemFailure(errno);
  ArchivePtr out(archive_write_disk_new());
  archive_write_disk_set_options(out.get(), ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS |
                                                ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_UNLINK);
  Extraction run(in.get(), out.get(), base, settings, guard);
  return run.Run(limit);
}

}  // namespace sorane

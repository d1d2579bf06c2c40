#include "packaging/filemix.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "packaging/scrambler.h"
#include "platform/files.h"
#include "platform/safe_write.h"
#include "runtime/errors.h"
#include "runtime/messages.h"
#include "text/charmap.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

constexpr size_t kBlock = 1 << 20;  // bytes moved at a time
constexpr uint64_t kMax32 = 0xFFFFFFFFu;

uint32_t U32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t U16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
void PutU32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// All of `n` bytes at `at`, or false.
bool PreadAll(int fd, uint64_t at, char* buf, size_t n) {
  while (n > 0) {
    ssize_t got = pread(fd, buf, n, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    buf += got;
    at += static_cast<uint64_t>(got);
    n -= static_cast<size_t>(got);
  }
  return true;
}

bool PwriteAll(int fd, uint64_t at, const char* buf, size_t n) {
  while (n > 0) {
    ssize_t put = pwrite(fd, buf, n, static_cast<off_t>(at));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    buf += put;
    at += static_cast<uint64_t>(put);
    n -= static_cast<size_t>(put);
  }
  return true;
}

bool WriteAllFd(int fd, const char* buf, size_t n) {
  while (n > 0) {
    ssize_t put = write(fd, buf, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    buf += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

[[noreturn]] void FormatError(const std::string& shown) {
  throw FileMixError(Format(SJ("\"%s\"は、TFileMixHeaderでは形式が違うため読めません。"), shown));
}

}  // namespace

std::string FileMixName(std::string_view name) {
  return MapText(name, MapMode::Upper);
}

std::string FileMixFileName(std::string_view name) {
  std::string file(name);
  for (const char* separator : {":", "\\", "/"}) file = ReplaceText(file, separator, "__", true);
  if (file.empty() || file == "." || file == "..") file = "_" + file;
  return file;
}

// ---------------------------------------------------------------- reading

TFileMixReader::TFileMixReader(int fd, uint64_t base, uint64_t length, const std::string& shown)
    : fd_(fd), base_(base), length_(length) {
  unsigned char header[kFileMixHeaderSize];
  if (length < kFileMixHeaderSize || !ReadAt(0, reinterpret_cast<char*>(header), sizeof header) ||
      memcmp(header, "fMix", 4) != 0) {
    close(fd_);
    FormatError(shown);
  }
  size_t count = U16(header + 5);
  std::string table;
  if (kFileMixHeaderSize + count * kFileMixEntrySize > length ||
      (table.resize(count * kFileMixEntrySize),
       !ReadAt(kFileMixHeaderSize, table.data(), table.size()))) {
    close(fd_);
    FormatError(shown);
  }
  entries_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* r =
        reinterpret_cast<const unsigned char*>(table.data()) + i * kFileMixEntrySize;
    const char* name = reinterpret_cast<const char*>(r);
    FileMixEntry e;
    e.name.assign(name, strnlen(name, kFileMixNameSize));
    e.offset = U32(r + 256);
    e.size = U32(r + 260);
    e.flag = r[264];
    index_[e.name] = entries_.size();
    entries_.push_back(std::move(e));
  }
}

std::unique_ptr<TFileMixReader> TFileMixReader::Open(const std::string& os_path,
                                                     const std::string& shown) {
  // Without blocking: a FIFO or device is never read.
  int fd = open(os_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    fd = -1;
  }
  if (fd < 0) throw FileMixError(Format(msg::FileFailure(), shown));
  return std::make_unique<TFileMixReader>(fd, 0, static_cast<uint64_t>(st.st_size), shown);
}

TFileMixReader::~TFileMixReader() {
  close(fd_);
}

bool TFileMixReader::ReadAt(uint64_t at, char* buf, size_t n) const {
  return PreadAll(fd_, base_ + at, buf, n);
}

bool TFileMixReader::Fits(const FileMixEntry& e) const {
  return static_cast<uint64_t>(e.offset) + e.size <= length_;
}

const FileMixEntry* TFileMixReader::Find(const std::string& name) const {
  auto it = index_.find(FileMixName(name));
  return it == index_.end() ? nullptr : &entries_[it->second];
}

bool TFileMixReader::Read(const FileMixEntry& e, std::string& data) const {
  data.clear();
  if (!Fits(e)) return false;
  data.resize(e.size);
  if (!ReadAt(e.offset, data.data(), data.size())) {
    data.clear();
    return false;
  }
  if (e.flag == 1) TCipher().Scramble(data, ArchiveKey());
  return true;
}

bool TFileMixReader::ReadStream(const std::string& name, std::string& data) const {
  const FileMixEntry* e = Find(name);
  if (!e) {
    data.clear();
    return false;
  }
  return Read(*e, data);
}

bool TFileMixReader::ReadString(const std::string& name, std::string& text) const {
  if (!ReadStream(name, text)) return false;
  text.resize(strnlen(text.data(), text.size()));
  return true;
}

bool TFileMixReader::ExtractToFile(const FileMixEntry& e, int out_fd) const {
  if (!Fits(e)) return false;
  TCipher cipher;
  std::string block;
  for (uint64_t done = 0; done < e.size;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, e.size - done));
    block.resize(n);
    if (!ReadAt(e.offset + done, block.data(), n)) return false;
    if (e.flag == 1) cipher.Scramble(block.data(), n, ArchiveKey(), done);
    if (!WriteAllFd(out_fd, block.data(), n)) return false;
    done += n;
  }
  return true;
}

bool TFileMixReader::CopyArchiveTo(int out_fd) const {
  std::string block;
  for (uint64_t done = 0; done < length_;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, length_ - done));
    block.resize(n);
    if (!ReadAt(done, block.data(), n) || !WriteAllFd(out_fd, block.data(), n)) return false;
    done += n;
  }
  return true;
}

// ---------------------------------------------------------------- writing

FileMixWriteResult WriteFileMix(int fd, uint64_t base, const std::vector<FileMixItem>& items) {
  FileMixWriteResult result;
  if (items.size() > kFileMixMaxEntries) {
    result.status = FileMixWriteResult::kTooLarge;
    return result;
  }
  unsigned char header[kFileMixHeaderSize] = {'f', 'M', 'i', 'x', 1};
  header[5] = static_cast<unsigned char>(items.size());
  header[6] = static_cast<unsigned char>(items.size() >> 8);
  // The table is written with the header once every entry's place is known.
  std::string table(kFileMixEntrySize * items.size(), '\0');
  uint64_t at = kFileMixHeaderSize + table.size();
  std::string block;
  for (size_t i = 0; i < items.size(); ++i) {
    const FileMixItem& item = items[i];
    int in = open(item.source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st;
    if (in >= 0 && (fstat(in, &st) != 0 || !S_ISREG(st.st_mode))) {
      close(in);
      in = -1;
    }
    if (in < 0) return {FileMixWriteResult::kUnreadable, item.source};
    TCipher cipher;
    uint64_t size = 0;
    result.status = FileMixWriteResult::kOk;
    for (;;) {
      block.resize(kBlock);
      ssize_t got = read(in, block.data(), block.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) result = {FileMixWriteResult::kUnreadable, item.source};
      if (got <= 0) break;
      if (at + size + static_cast<uint64_t>(got) > kMax32) {
        result.status = FileMixWriteResult::kTooLarge;
        break;
      }
      if (item.flag == 1)
        cipher.Scramble(block.data(), static_cast<size_t>(got), ArchiveKey(), size);
      if (!PwriteAll(fd, base + at + size, block.data(), static_cast<size_t>(got))) {
        result.status = FileMixWriteResult::kWriteFailed;
        break;
      }
      size += static_cast<uint64_t>(got);
    }
    close(in);
    if (result.status != FileMixWriteResult::kOk) return result;
    unsigned char* r = reinterpret_cast<unsigned char*>(table.data()) + i * kFileMixEntrySize;
    std::string name = FileMixName(item.name).substr(0, kFileMixNameSize - 1);
    memcpy(r, name.data(), name.size());
    PutU32(r + 256, static_cast<uint32_t>(at));
    PutU32(r + 260, static_cast<uint32_t>(size));
    r[264] = item.flag;
    at += size;
  }
  PutU32(header + 7, static_cast<uint32_t>(at));
  if (!PwriteAll(fd, base, reinterpret_cast<const char*>(header), sizeof header) ||
      !PwriteAll(fd, base + kFileMixHeaderSize, table.data(), table.size()))
    return {FileMixWriteResult::kWriteFailed, {}};
  return {FileMixWriteResult::kOk, {}};
}

FileMixWriteResult TFileMixWriter::SaveToFile(const std::string& os_path) const {
  std::vector<FileMixItem> items;
  for (const std::string& line : Files) {
    std::string rest = line;
    FileMixItem item;
    item.source = ToOsPath(CutAt("=", rest));
    item.name = CutAt("=", rest);
    if (item.name.empty()) return {FileMixWriteResult::kEmptyName, line};
    // The flag: an optional sign and digits; anything else counts as 0.
    std::string flag = Trim(rest);
    size_t digits = !flag.empty() && (flag[0] == '-' || flag[0] == '+') ? 1 : 0;
    bool numeric = flag.size() > digits && std::all_of(flag.begin() + digits, flag.end(),
                                                       [](char c) { return c >= '0' && c <= '9'; });
    if (numeric) {
      bool negative = flag[0] == '-';
      std::string number = flag.substr(digits);
      number.erase(0, std::min(number.find_first_not_of('0'), number.size()));
      if (negative && !number.empty()) return {FileMixWriteResult::kBadFlag, line};
      if (number.size() > 3 || (!number.empty() && std::stoi(number) > 255))
        return {FileMixWriteResult::kBadFlag, line};
      item.flag = static_cast<uint8_t>(number.empty() ? 0 : std::stoi(number));
    }
    items.push_back(std::move(item));
  }
  if (items.size() > kFileMixMaxEntries) return {FileMixWriteResult::kTooLarge, {}};
  AtomicFile file;
  if (!file.Open(os_path)) return {FileMixWriteResult::kWriteFailed, os_path};
  FileMixWriteResult result = WriteFileMix(file.Fd(), 0, items);
  if (result.status == FileMixWriteResult::kOk && !file.Commit())
    result = {FileMixWriteResult::kWriteFailed, os_path};
  return result;
}

// ---------------------------------------------------------------- executables

namespace {

// The end of an ELF image: the furthest byte any of its headers, tables,
// segments or sections occupy. False when a value lies outside the file.
bool ElfImageEnd(int fd, uint64_t file_size, uint64_t& end) {
  unsigned char e[64];
  if (file_size < 52 ||
      !PreadAll(fd, 0, reinterpret_cast<char*>(e), std::min<uint64_t>(64, file_size)))
    return false;
  if (memcmp(e, "\177ELF", 4) != 0 || e[5] != 1) return false;  // little-endian only
  const bool wide = e[4] == 2;
  if (!wide && e[4] != 1) return false;
  if (wide && file_size < 64) return false;
  auto u16 = [](const unsigned char* p) -> uint64_t { return U16(p); };
  auto u32 = [](const unsigned char* p) -> uint64_t { return U32(p); };
  auto u64 = [](const unsigned char* p) -> uint64_t {
    return U32(p) | (static_cast<uint64_t>(U32(p + 4)) << 32);
  };
  auto word = [&](const unsigned char* p) { return wide ? u64(p) : u32(p); };
  uint64_t phoff = word(e + (wide ? 32 : 28));
  uint64_t shoff = word(e + (wide ? 40 : 32));
  uint64_t ehsize = u16(e + (wide ? 52 : 40));
  uint64_t phentsize = u16(e + (wide ? 54 : 42)), phnum = u16(e + (wide ? 56 : 44));
  uint64_t shentsize = u16(e + (wide ? 58 : 46)), shnum = u16(e + (wide ? 60 : 48));
  const uint64_t ph_min = wide ? 56 : 32, sh_min = wide ? 64 : 40;
  end = ehsize;
  // A table: `count` records of `size` bytes at `offset`, all inside the file.
  auto table = [&](uint64_t offset, uint64_t count, uint64_t size, uint64_t min_size,
                   std::string& bytes) {
    if (count == 0) return true;
    if (size < min_size || offset > file_size || count > (file_size - offset) / size) return false;
    bytes.resize(count * size);
    if (!PreadAll(fd, offset, bytes.data(), bytes.size())) return false;
    end = std::max(end, offset + count * size);
    return true;
  };
  std::string sh;
  if (shoff != 0 && shnum == 0) {
    // More sections than the header holds: the count is the first section's size.
    if (!table(shoff, 1, shentsize, sh_min, sh)) return false;
    shnum = word(reinterpret_cast<const unsigned char*>(sh.data()) + (wide ? 32 : 20));
  }
  if (!table(shoff, shnum, shentsize, sh_min, sh)) return false;
  std::string ph;
  if (!table(phoff, phnum, phentsize, ph_min, ph)) return false;
  for (uint64_t i = 0; i < phnum; ++i) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(ph.data()) + i * phentsize;
    uint64_t offset = word(p + (wide ? 8 : 4)), filesz = word(p + (wide ? 32 : 16));
    if (offset > file_size || filesz > file_size - offset) return false;
    end = std::max(end, offset + filesz);
  }
  for (uint64_t i = 0; i < shnum; ++i) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(sh.data()) + i * shentsize;
    if (u32(s + 4) == 8) continue;  // SHT_NOBITS occupies nothing in the file
    uint64_t offset = word(s + (wide ? 24 : 16)), size = word(s + (wide ? 32 : 20));
    if (offset > file_size || size > file_size - offset) return false;
    end = std::max(end, offset + size);
  }
  return end <= file_size;
}

// The end of the last section's raw data of a PE image, read as the format's
// own walk does (16-bit header position, 8-bit section count).
bool PeImageEnd(int fd, uint64_t file_size, uint64_t& end) {
  unsigned char b[2];
  if (file_size < 64 || !PreadAll(fd, 60, reinterpret_cast<char*>(b), 2)) return false;
  uint64_t pe = U16(b);
  unsigned char count = 0;
  if (!PreadAll(fd, pe + 6, reinterpret_cast<char*>(&count), 1) || count == 0) return false;
  uint64_t last = pe + 248 + 40 * (static_cast<uint64_t>(count) - 1);
  unsigned char s[8];
  if (last + 24 > file_size || !PreadAll(fd, last + 16, reinterpret_cast<char*>(s), 8))
    return false;
  end = static_cast<uint64_t>(U32(s)) + U32(s + 4);
  return end <= file_size;
}

bool ImageEnd(int fd, uint64_t file_size, uint64_t& end) {
  char first = 0;
  if (file_size == 0 || !PreadAll(fd, 0, &first, 1)) return false;
  if (first == 'M' || first == 'm') return PeImageEnd(fd, file_size, end);
  return ElfImageEnd(fd, file_size, end);
}

bool FileSize(int fd, uint64_t& size) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

}  // namespace

bool ExtractAppendedArchive(int fd, AppendedArchive& found) {
  uint64_t size = 0, end = 0;
  if (!FileSize(fd, size) || !ImageEnd(fd, size, end) || end >= size) return false;
  // Something follows the image: it holds an archive when an "f" comes in it.
  char block[4096];
  for (uint64_t at = end; at < size;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(sizeof block, size - at));
    if (!PreadAll(fd, at, block, n)) return false;
    if (memchr(block, 'f', n)) {
      found.start = end;
      found.length = size - end;
      return true;
    }
    at += n;
  }
  return false;
}

bool ExecutableImageLength(int fd, uint64_t& length) {
  uint64_t size = 0;
  if (!FileSize(fd, size)) return false;
  AppendedArchive appended;
  length = ExtractAppendedArchive(fd, appended) ? appended.start : size;
  return true;
}

}  // namespace sorane

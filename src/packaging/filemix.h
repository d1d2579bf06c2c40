// The FileMix archive: a flat container of named files.
//
// Layout (integers little-endian, nothing between the parts):
//   header, 11 bytes: "fMix", version 1, entry count (u16), archive length (i32)
//   entry table, 265 bytes per entry from offset 11: name (256 bytes, upper-
//     cased, NUL-terminated and NUL-filled, at most 255 bytes of text), data
//     offset (u32), data size (u32), flag (u8: 1 = scrambled with the archive key)
//   the entries' data, in table order, back to back.
// Offsets count from the archive's first byte, so an archive appended to an
// executable keeps its meaning. Names are compared upper-cased; of two entries
// with one name the later one counts.
//
// The reader trusts nothing in the file: a name without its NUL is cut at 256
// bytes, an entry whose data would lie outside the archive cannot be read
// (nothing is allocated for it), and a table shorter than its count is a format
// error. The writer streams each file in blocks and refuses archives whose
// offsets or sizes do not fit 32 bits.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace sorane {

constexpr size_t kFileMixHeaderSize = 11;
constexpr size_t kFileMixEntrySize = 265;
constexpr size_t kFileMixNameSize = 256;
constexpr size_t kFileMixMaxEntries = 65535;

// The reader's errors; what() is CP932.
struct FileMixError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The upper-cased form in which names are stored and compared.
std::string FileMixName(std::string_view name);

// The file name an entry is written to (CP932): the name with ":", "\" and
// "/" each written "__", so it stays one name inside a folder ("." and ".."
// get a "_" in front).
std::string FileMixFileName(std::string_view name);

struct FileMixEntry {
  std::string name;  // upper-cased, as stored
  uint32_t offset = 0;
  uint32_t size = 0;
  uint8_t flag = 0;
};

class TFileMixReader {
 public:
  // Reads the header and the table of the archive that occupies `length`
  // bytes of `fd` from `base`; the reader owns `fd` and closes it. `shown` is
  // the archive's name for messages (CP932). Throws FileMixError.
  TFileMixReader(int fd, uint64_t base, uint64_t length, const std::string& shown);
  // Opens the archive file `os_path`: the file's open error (the message of a
  // failed read) or the reader's own.
  static std::unique_ptr<TFileMixReader> Open(const std::string& os_path, const std::string& shown);
  ~TFileMixReader();
  TFileMixReader(const TFileMixReader&) = delete;
  TFileMixReader& operator=(const TFileMixReader&) = delete;

  // The entry of `name` (any letter case); nullptr when there is none.
  const FileMixEntry* Find(const std::string& name) const;
  // The entry's data, descrambled when its flag is 1. False when the name is
  // missing or the data cannot be read (it lies outside the archive).
  bool ReadStream(const std::string& name, std::string& data) const;
  bool Read(const FileMixEntry& entry, std::string& data) const;
  // The data up to its first NUL byte.
  bool ReadString(const std::string& name, std::string& text) const;
  // Writes the entry's data to `out_fd` a block at a time.
  bool ExtractToFile(const FileMixEntry& entry, int out_fd) const;
  // Writes the whole archive, unchanged, to `out_fd`.
  bool CopyArchiveTo(int out_fd) const;

  // Every record in table order (including replaced ones), for listings.
  const std::vector<FileMixEntry>& Entries() const { return entries_; }
  uint64_t Length() const { return length_; }

 private:
  bool Fits(const FileMixEntry& e) const;
  bool ReadAt(uint64_t at, char* buf, size_t n) const;
  int fd_;
  uint64_t base_, length_;
  std::vector<FileMixEntry> entries_;
  std::unordered_map<std::string, size_t> index_;  // name -> position in entries_
};

// One entry to write: the file to read, the entry's name (CP932, upper-cased
// and cut to 255 bytes when written) and the flag.
struct FileMixItem {
  std::string source;  // OS path
  std::string name;
  uint8_t flag = 0;
};

// What writing an archive came to; `what` names the line (CP932) or the file
// (OS path) at fault.
struct FileMixWriteResult {
  enum Status {
    kOk,
    kEmptyName,   // a line gives no entry name
    kBadFlag,     // a flag outside 0..255
    kUnreadable,  // a source file cannot be read
    kTooLarge,    // more than 65535 entries, or a position beyond 32 bits
    kWriteFailed,
  } status = kWriteFailed;
  std::string what;
};

// Writes an archive of `items` into `fd` from offset `base` (the archive's
// first byte).
FileMixWriteResult WriteFileMix(int fd, uint64_t base, const std::vector<FileMixItem>& items);

// The writer of the archive command: `Files` holds one line per entry (CP932),
// the source path "=" the entry name "=" the flag (empty or not numeric: 0).
// SaveToFile writes a temporary file beside the target and renames it over
// the target only when everything was written: on any failure the old file
// stays as it was.
class TFileMixWriter {
 public:
  std::vector<std::string> Files;
  FileMixWriteResult SaveToFile(const std::string& os_path) const;
};

// Where an archive appended to an executable begins. For an ELF image: after
// the last byte any header, program header table, segment, section or section
// header table occupies. For a PE image (first byte "M" or "m"): after the raw
// data of the last section. The appended data must hold an "f" somewhere.
// False when the file is no such executable, a header value lies outside the
// file, or nothing (no "f") follows the image.
struct AppendedArchive {
  uint64_t start = 0;
  uint64_t length = 0;
};
bool ExtractAppendedArchive(int fd, AppendedArchive& found);
// The length of the executable image alone (the ELF or PE walk above), or the
// whole file when no archive follows it; false when the file cannot be read.
bool ExecutableImageLength(int fd, uint64_t& length);

}  // namespace sorane

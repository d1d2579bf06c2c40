// What an archive's name selects, and the archiver switches.
//
// The format follows the file's extension (letter case ignored), as the
// archiver table gives it; the switches come from the option variables
// (圧縮オプション, 解凍オプション, 自己解凍書庫オプション) in the form "-a1 -r2 -x1".
// Everything here is text work; the archives themselves are in archive_io.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sorane {

enum class ArchiveKind {
  kLha,
  kZip,
  kCab,
  kArj,
  kTar,       // plain tar, or one of the formats read like it (.a, .deb, .rpm, .cpio)
  kTarGzip,   // .gz, .tgz
  kTarLzw,    // .z, .taz (compress)
  kTarBzip2,  // .bz2, .tbz, .tbz2
  kTarXz,     // .xz, .txz
  kTarZstd,   // .zst, .tzst
  kRar,
  kBga,
  kSevenZip,
  kIso,
  kExe,   // decided by the content
  kGca,   // known, but nothing reads it
  kNone,  // an extension no format has
};

// How a format is written.
enum class ArchiveWriter { kNone, kZip, kTar, kSevenZip };
// The compression of a written tar (ArchiveWriter::kTar).
enum class ArchiveFilter { kNone, kGzip, kLzw, kBzip2, kXz, kZstd };

struct ArchiveFormat {
  ArchiveKind kind;
  const char* name;     // for messages: "LHA", "ZIP", ...
  const char* library;  // the library that once handled it, for the missing-library message
  bool readable;        // the archive library here reads it
  ArchiveWriter writer;
  ArchiveFilter filter;
  const char* add_letter;      // the command letters of the command line shown in
  const char* extract_letter;  // failure messages
};

// The format of the archive file `name` (any letter case, CP932 or UTF-8).
const ArchiveFormat& FormatOfArchive(std::string_view name);
// The name with ".lzh" added when its file name has no extension.
std::string WithArchiveExtension(const std::string& name);

// The archiver switches: one small number per switch name, -1 when not set.
class ArchiverOptions {
 public:
  static constexpr size_t kCount = 57;
  // The switch names in their fixed order.
  static const std::array<const char*, kCount>& Names();

  ArchiverOptions() { values_.fill(-1); }
  // Reads an option variable: tokens split at spaces, one leading "-" dropped,
  // the last character a digit 0-9, the rest a switch name; any other token is
  // ignored.
  static ArchiverOptions Parse(std::string_view text);

  // The value of a switch, or `fallback` when it is not set (or no such name).
  int Get(std::string_view name, int fallback = -1) const;
  void Set(std::string_view name, int value);
  // "-a1 -r2 ..." for every set switch, in the fixed order.
  std::string Text() const;

 private:
  std::array<int8_t, kCount> values_;
};

// The command line the archiver would have been given, for failure messages:
// the command letter, "-+", the switches, then the archive, the base folder and
// the names, each in quotation marks.
std::string ArchiverCommandLine(const char* letter, const ArchiverOptions& options,
                                const std::string& archive, const std::string& base,
                                const std::string& names);

}  // namespace sorane

// Archives on the archive library: writing one from files and folders, and
// extracting one into a folder without letting any entry out of it.
//
// Names here are OS paths (UTF-8, "/" between folders). Entry names are
// written in UTF-8 (zip with its UTF-8 flag, tar with pax headers, 7z in its
// own Unicode form). On reading, a name that is valid UTF-8 is taken as it is
// (zip entries with the UTF-8 flag, tar from Linux tools, 7z); any other name
// is Shift-JIS (zip and tar from Windows) and converted; "\" separates
// folders. Names of cab and rar entries without their Unicode flag are
// Shift-JIS; lzh names, which carry no encoding, are Shift-JIS unless every
// name of the archive reads as UTF-8.
//
// Failures come back as a reason (CP932, "" for success) for the caller's
// message.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "interop/archive/archive_format.h"

namespace sorane {

// One listed file or folder and its name in the archive.
struct ArchiveSource {
  std::string path;   // read from; a link given here is followed
  std::string entry;  // the entry name, "/" between folders
};

struct CompressSettings {
  bool recurse = true;      // a folder brings everything below it (switch r >= 1)
  bool hidden = true;       // names starting with "." met in a folder count (switch a >= 1)
  bool store_only = false;  // zip and 7z entries stored uncompressed (switch z >= 1)
};

// Writes the archive into `fd` (a fresh file) in `format`, which must have a
// writer. Inside folders, links are stored as links and devices, FIFOs and
// sockets are left out; the file open on `fd` itself is never taken in.
std::string WriteArchive(int fd, const ArchiveFormat& format,
                         const std::vector<ArchiveSource>& sources,
                         const CompressSettings& settings);

struct ExtractSettings {
  // The format the archive's name selects (how its entry names are read).
  ArchiveKind kind = ArchiveKind::kNone;
  bool keep_paths = true;        // folders of entries kept (switch x >= 1); else every
                                 // file goes straight into the folder
  bool overwrite_newer = false;  // replace files newer than the entry too (switch c >= 1)
  // The most bytes all entries together may write; 0: the space free on the
  // destination's file system when extraction starts, less kExtractReserve.
  uint64_t max_bytes = 0;
  // The entry name of an archive that is one compressed file (a .gz that holds
  // no tar): the archive's file name without its extension.
  std::string single_name;
};
// Space left free on the destination's file system by default.
constexpr uint64_t kExtractReserve = 64ull << 20;

// Called with the destination (OS path) of every entry before it is written;
// false skips the entry.
using EntryGuard = std::function<bool(const std::string& os_path)>;

// Extracts the archive file `archive` into the existing folder `folder`.
// Entry names are cleaned ("\" is a separator, "." and empty parts go) and an
// entry whose name is absolute (also "C:..." and "//server"), holds "..", or
// whose real destination (links on disk followed, the shared path check) is
// not inside the folder fails the extraction; so does a link whose target
// leads out, or a hard link to something outside. Devices, FIFOs and sockets
// are skipped; modes lose set-uid, set-gid and sticky bits; owners are not
// restored. Existing files are replaced (never written through), except files
// newer than their entry unless `overwrite_newer`. Going beyond the byte limit
// (declared or real sizes) fails, and the file being written goes.
std::string ExtractArchive(const std::string& archive, const std::string& folder,
                           const ExtractSettings& settings, const EntryGuard& guard);

// The OS name of an entry name as the archive library gives it (see above).
std::string EntryNameToOs(const std::string& raw);

}  // namespace sorane

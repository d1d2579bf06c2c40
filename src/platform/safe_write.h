// Writing files so that a failure never destroys what was there.
//
// A file that is replaced is written to a temporary file in the same folder,
// flushed to disk (fsync), given the old file's permissions and owner, and then
// renamed over the old name in one step. A crash, a full disk or a killed process
// leaves either the complete old file or the complete new one, never a mix; at
// worst a hidden temporary file ".NAME.XXXXXX" remains beside it.
//
// Details every caller may rely on:
//   - a name that is a symbolic link is followed: the file it points to is
//     replaced and the link stays a link (unless the caller asks to replace the
//     name itself, as moving and copying inside a tree do);
//   - a name that is not a regular file (a device such as /dev/null, a FIFO) is
//     written in place, never replaced (again unless the name itself is to be
//     replaced);
//   - a file with several hard links gets a new inode: the other links keep the
//     old content (as with any editor that saves safely).
// Every function returns false on failure with errno set; nothing else is reported.
//
// Names ending in "Os" take UTF-8 OS paths; the others take CP932 names of the
// script side and convert them with ToOsPath (so "\" works as a separator).
#pragma once

#include <string>
#include <string_view>

namespace sorane {

// A file being written under a temporary name until Commit() puts it in place.
// Destroying an uncommitted AtomicFile removes the temporary file.
class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // How Open treats an existing name that is not a regular file.
  enum class Target {
    kFollow,   // write what a link points to; write a device or FIFO in place
    kReplace,  // replace the name itself, whatever it is (a folder still fails)
  };
  // Starts replacing (or creating) `os_path`. False when the temporary file
  // cannot be created (missing folder, no permission, read-only file system).
  bool Open(const std::string& os_path, Target target = Target::kFollow);
  bool Write(std::string_view bytes);
  // Flushes, applies the permissions and renames over the final name.
  bool Commit();
  // Removes the temporary file; the old file stays as it was.
  void Discard();
  // The descriptor of the open file (-1 when none), for callers that stream data.
  int Fd() const { return fd_; }
  // Permission bits the file gets at Commit (default: the old file's, or
  // 0666 less the umask for a new file).
  void SetMode(unsigned mode) { mode_ = mode; }

 private:
  int fd_ = -1;
  bool in_place_ = false;  // writing a device or FIFO directly
  bool had_old_ = false;
  unsigned mode_ = 0;
  unsigned uid_ = 0, gid_ = 0;
  std::string final_;
  std::string temp_;
};

// Replaces (or creates) the file with exactly `bytes`.
bool WriteFileAtomic(const std::string& name, std::string_view bytes);
bool WriteOsFileAtomic(const std::string& os_path, std::string_view bytes);

// Appends `bytes` to an existing file. A write that fails part-way is cut back,
// so the file keeps its old content. `create` makes a missing file.
bool AppendOsFile(const std::string& os_path, std::string_view bytes, bool create);
// The same on a descriptor opened for appending: all of `bytes`, or (when the
// write fails part-way, e.g. on a full disk) nothing, the file cut back.
bool AppendToFd(int fd, std::string_view bytes);

// Copies a regular file's bytes, permissions and modification time to `to`,
// which is replaced safely. The source is opened without blocking and must be a
// regular file (a FIFO, socket or device gives EINVAL and is never read).
// `target` says whether a link at `to` is followed or replaced.
bool CopyOsFileAtomic(const std::string& from, const std::string& to,
                      AtomicFile::Target target = AtomicFile::Target::kFollow);

// The pattern ".BASE.XXXXXX" of a temporary name beside `os_path` (same
// folder, so a rename from it onto `os_path` stays on one file system), for
// mkostemp / mkdtemp.
std::string TempNameBeside(const std::string& os_path);

// The path a write to `os_path` really changes: the target of a symbolic link
// (followed through a chain of links), else the path itself.
std::string FollowLinks(const std::string& os_path);

}  // namespace sorane

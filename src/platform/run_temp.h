// One private folder for the temporary files of a run.
//
// The folder is made on first use under $TMPDIR (mkdtemp: an unpredictable
// name, mode 0700), so no other user can read its files, plant a file there
// before the run creates it, or put a link in the way. Files are created inside
// it with O_CREAT|O_EXCL|O_NOFOLLOW and mode 0600: a name is never reused, never
// followed. The folder goes, with everything in it, when the object goes.
#pragma once

#include <string>

namespace sorane {

class RunTempDir {
 public:
  RunTempDir() = default;
  ~RunTempDir() { Remove(); }
  RunTempDir(const RunTempDir&) = delete;
  RunTempDir& operator=(const RunTempDir&) = delete;

  // The folder (UTF-8, no trailing "/"), made now when it does not exist yet;
  // "" when it cannot be made.
  const std::string& Path();
  // Creates the new file `name` (one path component) in the folder and returns
  // its descriptor, open for writing; its path goes to `path`. -1 with errno
  // set when it cannot be created (it exists, the name is not one component).
  int Create(const std::string& name, std::string& path);
  // Removes the folder and its files; the next Path() makes a new one.
  void Remove();

 private:
  std::string path_;
};

// Creates a new file with an unpredictable name starting with `prefix` directly
// in $TMPDIR (mkostemp: O_EXCL, mode 0600), for a file that outlives the run
// that makes it (one handed to another process). Returns the descriptor and
// sets `path`; -1 on failure.
int CreateLoneTempFile(const std::string& prefix, std::string& path);

}  // namespace sorane

#include "platform/run_temp.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/file_ops.h"
#include "platform/special_folders.h"

namespace sorane {

const std::string& RunTempDir::Path() {
  if (path_.empty()) {
    std::string pattern = TempFolder() + "sorane-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;  // mkdtemp makes it 0700
  }
  return path_;
}

int RunTempDir::Create(const std::string& name, std::string& path) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    errno = EINVAL;
    return -1;
  }
  if (Path().empty()) return -1;
  path = path_ + "/" + name;
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

void RunTempDir::Remove() {
  if (path_.empty()) return;
  RemoveOsTree(path_);
  path_.clear();
}

int CreateLoneTempFile(const std::string& prefix, std::string& path) {
  path = TempFolder() + prefix + "XXXXXX";
  return mkostemp(path.data(), O_CLOEXEC);
}

}  // namespace sorane

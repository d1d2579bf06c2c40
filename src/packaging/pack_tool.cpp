#include "packaging/pack_tool.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "packaging/filemix.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/safe_write.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

int Fail(const std::string& message) {
  fprintf(stderr, "sorane: %s\n", message.c_str());
  return 1;
}

int Usage(const char* message) {
  fprintf(stderr, "sorane: %s (see sorane --help)\n", message);
  return 2;
}

// Copies `length` bytes from the start of `in` to `out`.
bool CopyBytes(int in, int out, uint64_t length) {
  off_t at = 0;
  while (static_cast<uint64_t>(at) < length) {
    ssize_t n = sendfile(out, in, &at, static_cast<size_t>(length - static_cast<uint64_t>(at)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
  }
  return true;
}

}  // namespace

std::string PackedEntryName(const std::string& path) {
  std::string name = path;
  if (!name.empty() && name[0] == '/') name = name.substr(name.rfind('/') + 1);
  while (name.rfind("./", 0) == 0) name.erase(0, 2);
  std::string sjis = FromOsPath(name);
  for (char& c : sjis)
    if (c == '/') c = '\\';  // a trail byte is never "/"
  return sjis;
}

int RunPackTool(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  std::string output;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 >= args.size() || !output.empty()) return Usage("--pack needs one -o OUTPUT");
      output = args[++i];
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.empty() || output.empty())
    return Usage("usage: sorane --pack SCRIPT [FILE...] -o OUTPUT");

  std::vector<std::pair<std::string, std::string>> entries;
  for (size_t i = 1; i < files.size(); ++i)
    entries.push_back({files[i], PackedEntryName(files[i])});
  std::string error;
  bool missing_runtime = false;
  if (!PackProgram(output, files[0], entries, error, missing_runtime)) return Fail(error);
  return 0;
}

bool PackProgram(const std::string& output, const std::string& script,
                 const std::vector<std::pair<std::string, std::string>>& files, std::string& error,
                 bool& missing_runtime) {
  missing_runtime = false;
  if (files.size() + 1 > kFileMixMaxEntries) {
    error = "too many files to pack (65535 at most)";
    return false;
  }
  std::vector<FileMixItem> items;
  items.push_back({script, "SORANE.SRN", 1});
  for (const auto& [path, name] : files) {
    uint8_t flag = AsciiLower(name.substr(name.size() < 4 ? 0 : name.size() - 4)) == ".srn" ? 1 : 0;
    items.push_back({path, name, flag});
  }

  int self = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  uint64_t image = 0;
  if (self < 0 || !ExecutableImageLength(self, image)) {
    if (self >= 0) close(self);
    missing_runtime = true;
    error = "cannot read the run-time's own executable";
    return false;
  }
  auto cannot_write = [&] {
    error = "cannot write " + output + ": " + strerror(errno);
    return false;
  };
  AtomicFile out;
  if (!out.Open(output)) {
    int err = errno;
    close(self);
    errno = err;
    return cannot_write();
  }
  mode_t mask = umask(0);
  umask(mask);
  out.SetMode(0777 & ~mask);
  bool copied = CopyBytes(self, out.Fd(), image);
  int err = errno;
  close(self);
  errno = err;
  if (!copied) return cannot_write();
  FileMixWriteResult result = WriteFileMix(out.Fd(), image, items);
  switch (result.status) {
    case FileMixWriteResult::kOk:
      break;
    case FileMixWriteResult::kUnreadable:
      error = "cannot read " + result.what;
      return false;
    case FileMixWriteResult::kTooLarge:
      error = "the files are too large to pack (4 GiB at most)";
      return false;
    default:
      return cannot_write();
  }
  if (!out.Commit()) return cannot_write();
  return true;
}

int RunUnpackTool(const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage("usage: sorane --unpack EXE DIR");
  const std::string& from = args[0];
  const std::string& folder = args[1];
  int fd = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Fail("cannot read " + from + ": " + strerror(errno));
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return Fail(from + " is not a file");
  }
  AppendedArchive found;
  if (!ExtractAppendedArchive(fd, found)) found = {0, static_cast<uint64_t>(st.st_size)};
  std::unique_ptr<TFileMixReader> reader;
  try {
    reader = std::make_unique<TFileMixReader>(fd, found.start, found.length, FromOsPath(from));
  } catch (const FileMixError&) {
    return Fail(from + " holds no packed files");
  }
  if (!MakeOsFolders(folder)) return Fail("cannot make " + folder + ": " + strerror(errno));
  int status = 0;
  for (const FileMixEntry& entry : reader->Entries()) {
    std::string file = ToOsPath(FileMixFileName(entry.name));
    printf("%10u %s %s -> %s\n", entry.size, entry.flag == 1 ? "scrambled" : "plain    ",
           SjisToUtf8KeepingBytes(entry.name).c_str(), file.c_str());
    std::string path = folder + "/" + file;
    int out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    bool ok = out >= 0 && reader->ExtractToFile(entry, out);
    if (out >= 0 && close(out) != 0) ok = false;
    if (!ok) {
      fprintf(stderr,
              "sorane: cannot copy %s to %s (the entry is damaged or the file cannot be written)\n",
              SjisToUtf8KeepingBytes(entry.name).c_str(), path.c_str());
      status = 1;
    }
  }
  return status;
}

}  // namespace sorane

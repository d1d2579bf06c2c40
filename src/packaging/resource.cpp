// The resource archive of a run and the files extracted from it.
//
// The archive stays open by its descriptor from startup to the end of the run:
// for a packed program that is the run-time's own executable, read where the
// archive begins, so nothing is copied at startup. Entries are extracted when a
// command first asks for them, into the run's private temporary folder
// (RunTempDir), which goes at the end of the run.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>

#include "packaging/filemix.h"
#include "packaging/packaging.h"
#include "platform/files.h"
#include "platform/run_temp.h"
#include "runtime/interpreter.h"
#include "runtime/startup.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

struct ResourceArchive {
  std::unique_ptr<TFileMixReader> reader;
};

// The entries extracted in this run, by their file name in the folder.
struct PackedFiles {
  RunTempDir folder;
  std::map<std::string, std::string> extracted;  // file name -> path (CP932)
};

std::string ShownName(const std::string& os_path) {
  char real[PATH_MAX];
  return FromOsPath(realpath(os_path.c_str(), real) ? real : os_path);
}

PackagingHooks::Packed OpenPacked(Interpreter& in, const std::string& os_path, std::string& script,
                                  std::string& error) {
  int fd = open(os_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return PackagingHooks::Packed::kNone;
  AppendedArchive found;
  if (!ExtractAppendedArchive(fd, found)) {
    close(fd);
    return PackagingHooks::Packed::kNone;
  }
  std::unique_ptr<TFileMixReader> reader;
  try {
    reader = std::make_unique<TFileMixReader>(fd, found.start, found.length, ShownName(os_path));
  } catch (const FileMixError& e) {
    error = e.what();
    return PackagingHooks::Packed::kFailed;
  }
  bool has_script = reader->ReadStream("SORANE.SRN", script);
  SetResourceReader(in, std::move(reader));
  return has_script ? PackagingHooks::Packed::kScript : PackagingHooks::Packed::kArchive;
}

bool OpenResource(Interpreter& in, const std::string& os_path) {
  try {
    SetResourceReader(in, TFileMixReader::Open(os_path, FromOsPath(os_path)));
    return true;
  } catch (const FileMixError&) {
    return false;
  }
}

}  // namespace

TFileMixReader* ResourceReader(Interpreter& in) {
  return in.S.StartStates.Get<ResourceArchive>().reader.get();
}

void SetResourceReader(Interpreter& in, std::unique_ptr<TFileMixReader> reader) {
  in.S.StartStates.Get<ResourceArchive>().reader = std::move(reader);
}

std::string GetPackedFile(Interpreter& in, const std::string& name) {
  TFileMixReader* reader = ResourceReader(in);
  if (!reader) return {};
  std::string upper = FileMixName(name);
  const FileMixEntry* entry = reader->Find(upper);
  if (!entry && upper.find('/') != std::string::npos)
    entry = reader->Find(upper = ReplaceText(upper, "/", "\\", true));
  if (!entry) return {};
  std::string file = FileMixFileName(upper);
  PackedFiles& files = in.S.RunStates.Get<PackedFiles>();
  auto known = files.extracted.find(file);
  if (known != files.extracted.end()) return known->second;
  std::string path;
  int fd = files.folder.Create(ToOsPath(file), path);
  bool ok = fd >= 0 && reader->ExtractToFile(*entry, fd);
  if (fd >= 0 && close(fd) != 0) ok = false;
  if (!ok) {
    if (fd >= 0) unlink(path.c_str());
    in.Raise(SJ("実行ファイルに梱包されている\"") + upper + SJ("\"の展開に失敗しました。"));
  }
  return files.extracted[file] = FromOsPath(path);
}

std::string CopyResourceForChild(Interpreter& in) {
  TFileMixReader* reader = ResourceReader(in);
  if (!reader) return {};
  std::string path;
  int fd = CreateLoneTempFile(std::string(kResourceCopyPrefix), path);
  if (fd < 0) return {};
  bool ok = reader->CopyArchiveTo(fd);
  if (close(fd) != 0) ok = false;
  if (!ok) {
    unlink(path.c_str());
    return {};
  }
  return path;
}

void InstallPackaging() {
  PackagingHooks& hooks = GetPackagingHooks();
  hooks.open_packed = &OpenPacked;
  hooks.open_resource = &OpenResource;
  hooks.packed_file = &GetPackedFile;
}

}  // namespace sorane

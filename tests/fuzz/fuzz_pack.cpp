// libFuzzer target: arbitrary bytes read as a FileMix archive (every entry
// read and extracted), as an executable that may carry an appended archive,
// and as a scrambled file. Any crash, hang or sanitizer report is a fault;
// the readers' errors are not.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "packaging/filemix.h"
#include "packaging/scrambler.h"

namespace {

void ReadEverything(int fd, uint64_t base, uint64_t length, int sink) {
  try {
    sorane::TFileMixReader reader(dup(fd), base, length, "fuzz.fmx");
    std::string data;
    for (const sorane::FileMixEntry& entry : reader.Entries()) {
      reader.ReadString(entry.name, data);
      reader.ExtractToFile(entry, sink);
    }
    reader.CopyArchiveTo(sink);
  } catch (const sorane::FileMixError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = memfd_create("fuzz", MFD_CLOEXEC);
  int sink = memfd_create("sink", MFD_CLOEXEC);
  if (fd < 0 || sink < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) abort();
  ReadEverything(fd, 0, size, sink);
  sorane::AppendedArchive found;
  if (sorane::ExtractAppendedArchive(fd, found))
    ReadEverything(fd, found.start, found.length, sink);
  uint64_t image = 0;
  sorane::ExecutableImageLength(fd, image);
  std::string text;
  sorane::DecodeScrambledText(std::string(reinterpret_cast<const char*>(data), size), text);
  close(fd);
  close(sink);
  return 0;
}

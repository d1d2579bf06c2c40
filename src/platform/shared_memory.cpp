#include "platform/shared_memory.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace sorane {

std::string SharedMemoryObjectName(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "/sorane.";
  for (char ch : name) {
    unsigned char b = static_cast<unsigned char>(ch);
    if (b >= 0x21 && b <= 0x7E && b != '/' && b != '%') {
      out += ch;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  if (out.size() - 1 > NAME_MAX) return {};
  return out;
}

bool SharedMemory::Open(std::string_view name, size_t size, bool create) {
  Close();
  std::string object = SharedMemoryObjectName(name);
  if (object.empty() || size == 0) return false;
  int fd = shm_open(object.c_str(), (create ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && st.st_uid == geteuid();
  if (ok && create && static_cast<size_t>(st.st_size) < size) {
    ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
    st.st_size = static_cast<off_t>(size);
  }
  // Mapping past the end of a smaller object would fault on access.
  size_t mapped = ok ? std::min(size, static_cast<size_t>(st.st_size)) : 0;
  if (mapped > 0) {
    void* p = mmap(nullptr, mapped, create ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
    if (p != MAP_FAILED) {
      data_ = static_cast<char*>(p);
      size_ = mapped;
    }
  }
  close(fd);
  return ok && (data_ != nullptr || (!create && mapped == 0));
}

void SharedMemory::Close() {
  if (data_) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace sorane

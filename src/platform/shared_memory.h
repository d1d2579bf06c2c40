// Named shared memory between processes (POSIX shm_open + mmap).
//
// A name (any bytes) becomes the object "/sorane." + the name, where the bytes
// 0x21-0x7E other than "/" and "%" stand for themselves and every other byte is
// written %XX (two upper-case hex digits): different names never meet, and
// another program can compute the object's name. Names whose object name would
// exceed NAME_MAX are refused.
//
// Objects are created with mode 0600 and only objects of the user running the
// process are used. A POSIX object outlives the processes that used it: it
// stays (in /dev/shm) until it is removed or the system restarts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sorane {

// The POSIX object name for `name`; "" when it would be too long.
std::string SharedMemoryObjectName(std::string_view name);

class SharedMemory {
 public:
  SharedMemory() = default;
  ~SharedMemory() { Close(); }
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  // Maps `size` bytes of the area called `name`. `create`: opens it for
  // reading and writing, creating it (zero-filled) when it does not exist and
  // growing it when it is smaller. Otherwise it is opened for reading only,
  // and a missing area fails; an area smaller than `size` maps only what it
  // holds (Size() tells). The descriptor is closed once the area is mapped.
  bool Open(std::string_view name, size_t size, bool create);
  void Close();

  char* Data() const { return data_; }
  size_t Size() const { return size_; }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace sorane

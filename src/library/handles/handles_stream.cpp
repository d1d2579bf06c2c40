// The buffered file stream of file handles (see handles_stream.h).
#include "library/handles/handles_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "text/sjis.h"

namespace sorane {

namespace {

constexpr size_t kBufferSize = 4096;

int OpenFlags(int mode) {
  if (mode == TextFileStream::kCreate) return O_RDWR | O_CREAT | O_TRUNC;
  switch (mode & 3) {
    case 0:
      return O_RDONLY;
    case 1:
      return O_WRONLY;
    case 2:
      return O_RDWR;
    default:
      return -1;
  }
}

}  // namespace

TextFileStream::~TextFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

// Takes over an open descriptor; a folder is refused (and closed).
std::unique_ptr<TextFileStream> TextFileStream::FromDescriptor(int fd) {
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return nullptr;
  }
  return std::unique_ptr<TextFileStream>(new TextFileStream(fd));
}

std::unique_ptr<TextFileStream> TextFileStream::Open(const std::string& os_path, int mode) {
  int flags = OpenFlags(mode);
  if (flags < 0) {
    errno = EINVAL;
    return nullptr;
  }
  int fd = ::open(os_path.c_str(), flags | O_CLOEXEC, 0666);
  return FromDescriptor(fd);
}

std::unique_ptr<TextFileStream> TextFileStream::OpenOrCreate(const std::string& os_path) {
  int fd = ::open(os_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  return FromDescriptor(fd);
}

int64_t TextFileStream::Size() const {
  struct stat st;
  return fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

int TextFileStream::ByteAt(int64_t pos) {
  if (pos < buf_start_ || pos >= buf_start_ + static_cast<int64_t>(buf_.size())) {
    buf_.resize(kBufferSize);
    ssize_t n;
    do {
      n = ::pread(fd_, buf_.data(), kBufferSize, pos);
    } while (n < 0 && errno == EINTR);
    if (n < 0) read_failed_ = true;
    buf_.resize(n > 0 ? static_cast<size_t>(n) : 0);
    buf_start_ = pos;
    if (buf_.empty()) return -1;
  }
  return static_cast<unsigned char>(buf_[static_cast<size_t>(pos - buf_start_)]);
}

bool TextFileStream::ReadLine(std::string& line) {
  line.clear();
  read_failed_ = false;
  if (utf8_ && pos_ == 0 && ByteAt(0) == 0xEF && ByteAt(1) == 0xBB && ByteAt(2) == 0xBF) pos_ = 3;
  for (;;) {
    int c = ByteAt(pos_);
    if (c < 0) break;
    ++pos_;
    if (c == '\n' || c == '\0') break;
    if (c == '\r') {
      if (ByteAt(pos_) == '\n') ++pos_;
      break;
    }
    line += static_cast<char>(c);
    if (!utf8_ && IsLeadByte(static_cast<unsigned char>(c))) {
      int trail = ByteAt(pos_);
      if (trail >= 0) {
        line += static_cast<char>(trail);
        ++pos_;
      }
    }
  }
  return !read_failed_;
}

bool TextFileStream::FileStillNamed() const {
  struct stat st;
  if (fstat(fd_, &st) != 0) return false;
  if (S_ISREG(st.st_mode) && st.st_nlink == 0) {
    errno = ESTALE;
    return false;
  }
  return true;
}

bool TextFileStream::WriteAt(std::string_view bytes) {
  DropBuffer();
  while (!bytes.empty()) {
    ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), pos_);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    pos_ += n;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Puts the file back as it was before a write from `start` failed part-way:
// bytes it overwrote get their old values, and the file its old size.
void TextFileStream::UndoWrite(int64_t start, int64_t old_size, const std::string& overwritten) {
  int e = errno;
  if (!overwritten.empty()) {
    ssize_t n;
    do {
      n = ::pwrite(fd_, overwritten.data(), overwritten.size(), start);
    } while (n < 0 && errno == EINTR);
  }
  struct stat st;
  if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > old_size &&
      ftruncate(fd_, old_size) != 0) {
  }
  pos_ = start;
  DropBuffer();
  errno = e;
}

// The bytes a write of `count` bytes at the position will overwrite (up to
// 64 MB; beyond that a failed write only gets the old size back).
std::string TextFileStream::BytesUnder(int64_t count, int64_t old_size) const {
  std::string old;
  if (pos_ >= old_size) return old;
  old.resize(static_cast<size_t>(std::min<int64_t>({old_size - pos_, count, 64 << 20})));
  ssize_t n;
  do {
    n = ::pread(fd_, old.data(), old.size(), pos_);
  } while (n < 0 && errno == EINTR);
  old.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return old;
}

bool TextFileStream::WriteLine(std::string_view text) {
  if (!FileStillNamed()) return false;
  std::string line(text);
  line += "\r\n";
  const int64_t start = pos_, old_size = Size();
  std::string overwritten = BytesUnder(static_cast<int64_t>(line.size()), old_size);
  if (WriteAt(line)) return true;
  UndoWrite(start, old_size, overwritten);
  return false;
}

bool TextFileStream::WriteBytes(std::string_view data, int64_t count) {
  if (count <= 0) return true;
  if (!FileStillNamed()) return false;
  const int64_t start = pos_, old_size = Size();
  std::string overwritten = BytesUnder(count, old_size);
  if (WriteBytesAt(data, count)) return true;
  UndoWrite(start, old_size, overwritten);
  return false;
}

bool TextFileStream::WriteBytesAt(std::string_view data, int64_t count) {
  const size_t from_data = static_cast<size_t>(std::min<int64_t>(count, data.size()));
  if (!WriteAt(data.substr(0, from_data))) return false;
  int64_t zeros = count - static_cast<int64_t>(from_data);
  const std::string block(static_cast<size_t>(std::min<int64_t>(zeros, 1 << 16)), '\0');
  while (zeros > 0) {
    size_t n = static_cast<size_t>(std::min<int64_t>(zeros, block.size()));
    if (!WriteAt(std::string_view(block).substr(0, n))) return false;
    zeros -= static_cast<int64_t>(n);
  }
  return true;
}

bool TextFileStream::ReadBytes(int64_t count, std::string& out) {
  out.clear();
  if (count <= 0) return true;
  DropBuffer();
  const int64_t available = std::max<int64_t>(0, Size() - pos_);
  out.resize(static_cast<size_t>(std::min(count, available)));
  size_t got = 0;
  while (got < out.size()) {
    ssize_t n = ::pread(fd_, out.data() + got, out.size() - got, pos_ + static_cast<int64_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      out.clear();
      return false;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  out.resize(got);
  pos_ += static_cast<int64_t>(got);
  return true;
}

bool TextFileStream::AtEnd() const {
  return pos_ >= Size();
}

void TextFileStream::Seek(int64_t position) {
  pos_ = std::max<int64_t>(0, position);
  DropBuffer();
}

void TextFileStream::SeekToEnd() {
  Seek(Size());
}

}  // namespace sorane

#include "net/mail/mail_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/safe_write.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane::mail {

namespace {

// The longest file name written, in OS bytes (file systems allow 255).
constexpr size_t kMaxNameBytes = 200;
constexpr int kMaxTries = 100000;

bool Occupied(const std::string& os_path) {
  struct stat st;
  return lstat(os_path.c_str(), &st) == 0 || errno != ENOENT;
}

// A new file that did not exist, never reached through a link.
int CreateNew(const std::string& os_path) {
  return open(os_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC,
              0666);
}

bool WriteAndClose(int fd, std::string_view bytes) {
  bool ok = AppendToFd(fd, bytes);
  int saved = errno;
  if (close(fd) != 0 && ok) return false;
  errno = saved;
  return ok;
}

// The file guarding the security level of programs: an attachment must not
// create one in the program's folder.
bool IsGuardedName(const std::string& name) {
  return AsciiLower(name) == "security.ini";
}

std::string OneLine(std::string s) {
  for (char& ch : s)
    if (ch == '\r' || ch == '\n') ch = ' ';
  return s;
}

}  // namespace

std::string SafeAttachmentName(const std::string& name, size_t index,
                               const std::string& fallback_extension) {
  std::string last;
  for (size_t i = 0; i < name.size();) {
    size_t len = CharLen(name, i);
    char ch = name[i];
    if (len == 1 && (ch == '/' || ch == '\\' || ch == ':')) {
      last.clear();
    } else {
      last.append(name, i, len);
    }
    i += len;
  }
  for (char& ch : last)
    if (ch == '\r' || ch == '\n' || ch == '\t') ch = ' ';
  const std::string& wide_space = SJ("　");
  size_t start = 0;
  while (start < last.size()) {
    if (last[start] == '.' || last[start] == ' ') {
      ++start;
    } else if (last.compare(start, wide_space.size(), wide_space) == 0) {
      start += wide_space.size();
    } else {
      break;
    }
  }
  last.erase(0, start);
  if (last.empty()) last = SJ("添付") + std::to_string(index) + fallback_extension;
  return last;
}

std::string SummaryText(const Received& mail, const std::vector<std::string>& names) {
  std::string out;
  auto line = [&out](const std::string& label, const std::string& value) {
    out += label + OneLine(value) + "\r\n";
  };
  for (const std::string& name : names) line(SJ("添付ファイル:"), name);
  if (mail.return_path) line(SJ("返信先:"), *mail.return_path);
  line(SJ("送信者:"), mail.from);
  line(SJ("受信者:"), mail.to);
  line(SJ("日時:"), mail.date);
  line(SJ("件名:"), mail.subject);
  line(SJ("本文:"), "");
  out += "\r\n" + mail.body;
  return out;
}

bool ReceiveFolder::WriteAttachment(const ReceivedPart& part, size_t index, std::string& used,
                                    std::vector<std::string>& created) {
  std::string name = SafeAttachmentName(part.name, index, part.fallback_extension);
  // The extension stays at the end when a number is added or the name is cut.
  size_t dot = name.rfind('.');
  std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  std::string ext = name.substr(stem.size());
  if (ToOsPath(ext).size() > kMaxNameBytes / 4) {
    stem = name;
    ext.clear();
  }
  for (int n = 1; n <= kMaxTries; ++n) {
    std::string tail = (n == 1 ? "" : " (" + std::to_string(n) + ")") + ext;
    std::string base = stem;
    while (!base.empty() && ToOsPath(base + tail).size() > kMaxNameBytes) {
      size_t cut = 0;  // start of the last character
      for (size_t i = 0; i < base.size(); i += CharLen(base, i)) cut = i;
      base.resize(cut);
    }
    std::string candidate = base + tail;
    if (IsGuardedName(candidate)) continue;
    std::string path = folder_ + ToOsPath(candidate);
    int fd = CreateNew(path);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    created.push_back(path);
    if (!WriteAndClose(fd, part.data)) return false;
    used = candidate;
    return true;
  }
  errno = EEXIST;
  return false;
}

bool ReceiveFolder::Save(std::string_view raw, const Received& mail) {
  std::vector<std::string> created;
  auto fail = [&created] {
    int saved = errno;
    for (auto it = created.rbegin(); it != created.rend(); ++it) unlink(it->c_str());
    errno = saved;
    return false;
  };
  int summary = -1;
  int n = next_;
  for (;; ++n) {
    if (n - next_ > kMaxTries) {
      errno = EEXIST;
      return fail();
    }
    std::string txt = folder_ + std::to_string(n) + ".txt";
    std::string eml = folder_ + std::to_string(n) + ".eml";
    if (Occupied(txt) || Occupied(eml)) continue;
    summary = CreateNew(txt);
    if (summary < 0) {
      if (errno == EEXIST) continue;
      return fail();
    }
    created.push_back(txt);
    int fd = CreateNew(eml);
    if (fd < 0) {
      int saved = errno;
      close(summary);
      errno = saved;
      if (errno != EEXIST) return fail();
      unlink(txt.c_str());
      created.clear();
      continue;
    }
    created.push_back(eml);
    if (!WriteAndClose(fd, raw)) {
      close(summary);
      return fail();
    }
    break;
  }
  std::vector<std::string> names;
  for (size_t i = 0; i < mail.attachments.size(); ++i) {
    std::string used;
    if (!WriteAttachment(mail.attachments[i], i + 1, used, created)) {
      close(summary);
      return fail();
    }
    names.push_back(used);
  }
  if (!WriteAndClose(summary, SummaryText(mail, names))) return fail();
  next_ = n + 1;
  last_ = n;
  return true;
}

}  // namespace sorane::mail

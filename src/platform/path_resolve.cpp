#include "platform/path_resolve.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <vector>

namespace sorane {

namespace {

constexpr int kMaxLinks = 40;  // as many as the kernel follows before ELOOP

// Pushes the components of `path` in front of `todo`, in order.
void PushFront(std::deque<std::string>& todo, std::string_view path) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string_view::npos) slash = path.size();
    parts.emplace_back(path.substr(pos, slash - pos));
    pos = slash + 1;
  }
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) todo.push_front(std::move(*it));
}

std::string Join(const std::vector<std::string>& parts) {
  if (parts.empty()) return "/";
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  return out;
}

}  // namespace

ResolvedPath ResolveOsPath(const std::string& os_path, FinalLink final_link) {
  ResolvedPath result;
  if (os_path.empty() || HasNulByte(os_path)) return result;
  std::vector<std::string> parts;  // the path reached so far, one component each
  size_t existing = 0;             // how many of `parts` exist (the rest will be created)
  std::deque<std::string> todo;
  if (os_path[0] != '/') {
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) return result;
    PushFront(todo, os_path);
    PushFront(todo, buf);  // getcwd gives a real path: no links in it
  } else {
    PushFront(todo, os_path);
  }
  int links = 0;
  while (!todo.empty()) {
    std::string c = std::move(todo.front());
    todo.pop_front();
    if (c.empty() || c == ".") continue;
    if (c == "..") {
      // `parts` holds no links, so its parent is the real parent; a folder that
      // is still to be created is left again the same way once it is made.
      if (!parts.empty()) parts.pop_back();
      if (existing > parts.size()) existing = parts.size();
      continue;
    }
    // A trailing "/" leaves an empty component behind: the name must then be a
    // folder, and a link there is followed whatever the caller does.
    const bool last = todo.empty();
    if (existing < parts.size()) {  // below a folder still to be created
      parts.push_back(std::move(c));
      continue;
    }
    std::string here = Join(parts);
    std::string candidate = here == "/" ? "/" + c : here + "/" + c;
    struct stat st;
    if (lstat(candidate.c_str(), &st) != 0) {
      parts.push_back(std::move(c));  // created by the operation
      continue;
    }
    if (S_ISLNK(st.st_mode) && (!last || final_link == FinalLink::kFollow)) {
      if (++links > kMaxLinks) return result;
      std::string target(PATH_MAX, '\0');
      ssize_t n = readlink(candidate.c_str(), target.data(), target.size());
      if (n < 0) return result;
      target.resize(static_cast<size_t>(n));
      if (target.empty()) return result;
      if (target[0] == '/') {
        parts.clear();
        existing = 0;
      }
      PushFront(todo, target);  // a relative target counts from the link's folder
      continue;
    }
    parts.push_back(std::move(c));
    ++existing;
  }
  result.real = Join(parts);
  result.ok = true;
  return result;
}

}  // namespace sorane

#include "interop/dll/dll_declaration.h"

#include <algorithm>

#include "platform/files.h"
#include "text/sjis.h"

namespace sorane {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}

std::string WithoutSpaces(std::string_view s) {
  std::string out;
  for (char c : s)
    if (!IsSpace(c)) out += c;
  return out;
}

// A parameter list or template written in parentheses: its closing ")" (blanks
// after it ignored) is not part of it.
std::string_view WithoutClosing(std::string_view s) {
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  if (!s.empty() && s.back() == ')') s.remove_suffix(1);
  return s;
}

}  // namespace

char DllTypeLetter(std::string_view type_name) {
  std::string name = WithoutSpaces(type_name);
  // Only ASCII letters are lowered: the names are ASCII, and a lowered trail
  // byte could turn one double-byte character into another.
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  static constexpr struct {
    std::string_view name;
    char letter;
  } kTypes[] = {{"void", 'v'}, {"char*", 'p'}, {"word", 'w'},  {"dword", 'd'},
                {"bool", 'b'}, {"int", 'i'},   {"double", 'f'}};
  for (const auto& t : kTypes)
    if (name == t.name) return t.letter;
  return 0;
}

DllTypedDeclaration ParseTypedDeclaration(std::string_view text) {
  DllTypedDeclaration d;
  size_t open = text.find('(');
  std::string_view head = text.substr(0, open);
  if (open != std::string_view::npos) {
    std::string_view list = WithoutClosing(text.substr(open + 1));
    size_t start = 0;
    while (start <= list.size()) {
      size_t comma = std::min(list.find(',', start), list.size());
      std::string item = WithoutSpaces(list.substr(start, comma - start));
      if (item.empty()) break;
      char letter = DllTypeLetter(item);
      if (letter)
        d.params += letter;
      else
        d.known = false;
      start = comma + 1;
    }
  }
  // The function name is the last run of characters that are neither blanks
  // nor "*"; what stands before it is the result type. Blanks and "*" are
  // single bytes that no double-byte character ends with, so reading the head
  // backwards byte by byte finds them safely.
  while (!head.empty() && IsSpace(head.back())) head.remove_suffix(1);
  size_t name_start = head.size();
  while (name_start > 0 && !IsSpace(head[name_start - 1]) && head[name_start - 1] != '*')
    --name_start;
  d.function = Trim(head.substr(name_start));
  std::string type = WithoutSpaces(head.substr(0, name_start));
  if (!type.empty()) {
    d.result = DllTypeLetter(type);
    if (!d.result) {
      d.result = 'v';
      d.known = false;
    }
  }
  return d;
}

DllUntypedDeclaration ParseUntypedDeclaration(std::string_view text) {
  DllUntypedDeclaration d;
  size_t open = text.find('(');
  d.function = Trim(text.substr(0, open));
  if (open != std::string_view::npos) d.templ = WithoutClosing(text.substr(open + 1));
  return d;
}

size_t DllArgumentCount(std::string_view params) {
  return params.size() - static_cast<size_t>(std::count(params.begin(), params.end(), 'v'));
}

size_t QuestionMarks(std::string_view templ) {
  return static_cast<size_t>(std::count(templ.begin(), templ.end(), '?'));
}

size_t TemplateSlotCount(std::string_view templ) {
  if (templ.empty()) return 0;
  return 1 + static_cast<size_t>(std::count(templ.begin(), templ.end(), ','));
}

std::vector<std::string> DllLibraryNames(std::string_view file, std::string_view script_folder) {
  std::vector<std::string> names{std::string(file)};
  std::string lower(file.substr(file.size() < 4 ? 0 : file.size() - 4));
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (lower != ".dll" || file.size() == 4) return names;
  std::string folder = ExtractFolder(file);
  std::string stem = ExtractFileName(file);
  stem.resize(stem.size() - 4);
  if (stem.empty()) return names;
  std::vector<std::string> folders;
  if (!folder.empty()) {
    folders.push_back(folder);
  } else {
    if (!script_folder.empty()) folders.emplace_back(script_folder);
    folders.emplace_back();  // the search path
  }
  for (const std::string& f : folders) {
    names.push_back(f + "lib" + stem + ".so");
    names.push_back(f + stem + ".so");
  }
  return names;
}

}  // namespace sorane

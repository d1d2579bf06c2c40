#include "interop/desktop/key_string.h"

#include "text/sjis.h"

namespace sorane {

namespace {

struct KeyName {
  const char* name;
  int code;
};

// The names of the {…} form. F1 to F16 (112 to 127) are read apart.
constexpr KeyName kKeyNames[] = {
    {"CAPSLOCK", 20}, {"NUMLOCK", 144}, {"SCROLLOCK", 145}, {"ESCAPE", 27}, {"ESC", 27},
    {"ENTER", 13},    {"HELP", 47},     {"PRTSC", 44},      {"TAB", 9},     {"BREAK", 3},
    {"CLEAR", 12},    {"BACKSPACE", 8}, {"BS", 8},          {"BKSP", 8},    {"DELETE", 46},
    {"DEL", 46},      {"INSERT", 45},   {"LEFT", 37},       {"RIGHT", 39},  {"UP", 38},
    {"DOWN", 40},     {"PGUP", 33},     {"PGDN", 34},       {"HOME", 36},   {"END", 35},
    {"IME", 25},
};

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  void Sequence(bool in_group) {
    while (pos_ < s_.size()) {
      if (s_[pos_] == ')') {
        ++pos_;
        if (in_group) return;
        continue;  // a ")" that closes nothing
      }
      Element();
    }
  }

  std::vector<KeyStep> steps;

 private:
  void Add(KeyStep::Kind kind, int key, std::string text = {}, long long count = 1) {
    steps.push_back({kind, key, std::move(text), count});
  }

  int Modifier(char c) {
    return c == '+' ? kVkShift : c == '^' ? kVkControl : c == '%' ? kVkAlt : 0;
  }

  void Element() {
    size_t len = CharLen(s_, pos_);
    char c = s_[pos_];
    if (len == 2) {
      Add(KeyStep::Kind::kChar, 0, std::string(s_.substr(pos_, 2)));
      pos_ += 2;
      return;
    }
    if (int mod = Modifier(c)) {
      ++pos_;
      bool held = held_[mod - kVkShift];
      if (!held) Add(KeyStep::Kind::kHold, mod);
      held_[mod - kVkShift] = true;
      if (pos_ < s_.size() && s_[pos_] != ')') Element();
      held_[mod - kVkShift] = held;
      if (!held) Add(KeyStep::Kind::kRelease, mod);
      return;
    }
    ++pos_;
    switch (c) {
      case '(':
        Sequence(true);
        return;
      case '~':
      case '\n':
        Add(KeyStep::Kind::kKey, kVkEnter);
        return;
      case '\r':
        if (pos_ < s_.size() && s_[pos_] == '\n') ++pos_;
        Add(KeyStep::Kind::kKey, kVkEnter);
        return;
      case '\t':
        Add(KeyStep::Kind::kKey, kVkTab);
        return;
      case '{':
        Braces();
        return;
      default:
        Add(KeyStep::Kind::kChar, 0, std::string(1, c));
    }
  }

  // After "{": up to the "}" that closes it; a "}" right after "{" belongs
  // to the name.
  void Braces() {
    size_t start = pos_, end = pos_;
    if (end < s_.size() && s_[end] == '}') ++end;
    while (end < s_.size() && s_[end] != '}') end += CharLen(s_, end);
    if (end >= s_.size()) {  // unclosed: the "{" is a character
      Add(KeyStep::Kind::kChar, 0, "{");
      return;
    }
    pos_ = end + 1;
    std::string_view body = s_.substr(start, end - start);
    long long count = 1;
    size_t space = body.rfind(' ');
    if (space != std::string_view::npos && space > 0 && space + 1 < body.size()) {
      std::string_view digits = body.substr(space + 1);
      bool number = true;
      long long n = 0;
      for (char d : digits) {
        if (d < '0' || d > '9')
          number = false;
        else if (n < 1000000000)
          n = n * 10 + (d - '0');
      }
      if (number) {
        count = n;
        body = body.substr(0, space);
      }
    }
    if (int code = KeyNameCode(body))
      Add(KeyStep::Kind::kKey, code, {}, count);
    else if (!body.empty() && CharLen(body, 0) == body.size())
      Add(KeyStep::Kind::kChar, 0, std::string(body), count);
  }

  std::string_view s_;
  size_t pos_ = 0;
  bool held_[3] = {false, false, false};
};

}  // namespace

int KeyNameCode(std::string_view name) {
  auto same = [&](std::string_view table) {
    if (table.size() != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
      if (Upper(name[i]) != table[i]) return false;
    return true;
  };
  for (const KeyName& k : kKeyNames)
    if (same(k.name)) return k.code;
  if (name.size() >= 2 && Upper(name[0]) == 'F') {
    int n = 0;
    for (char d : name.substr(1)) {
      if (d < '0' || d > '9') return 0;
      n = n * 10 + (d - '0');
      if (n > 16) return 0;
    }
    if (name[1] != '0' && n >= 1) return 111 + n;
  }
  return 0;
}

std::vector<KeyStep> ParseKeyString(std::string_view keys) {
  Reader reader(keys);
  reader.Sequence(false);
  return std::move(reader.steps);
}

}  // namespace sorane

#include "app/reference.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "library/command_help.h"
#include "library/library.h"
#include "library/vocabulary.h"
#include "text/encoding.h"
#include "words/hash.h"

// One line per entry, so the listing can be searched with grep and read back by
// scripts/gen-reference.py:
//   NAME[ TEMPLATE] — DESCRIPTION
//   NAME = 「DEFAULT」[ — DESCRIPTION][ (number|text[, read-only])]
// Names hold no spaces; templates, defaults and descriptions never hold " — ".

namespace sorane {

namespace {

constexpr std::string_view kDash = " — ";

std::string AsciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// A WORD given on the command line, prepared once for matching names.
struct NameQuery {
  std::string plain;   // UTF-8, ASCII lower-cased
  std::string folded;  // okurigana folded, back in UTF-8, lower-cased
};

NameQuery Prepare(const std::string& word) {
  return {AsciiLower(word), AsciiLower(SjisToUtf8(Fold(Utf8ToSjis(word))))};
}

// A name matches when WORD occurs in it, or when WORD with its okurigana folded
// occurs in the folded name (so 繰返 and 繰り返す both find 繰り返す). The
// comparison is on UTF-8, where a match cannot start inside a character, and
// ignores ASCII case (len finds LEN).
bool Matches(const NameQuery& q, const char* utf8_name) {
  if (q.plain.empty()) return true;
  std::string name = AsciiLower(utf8_name);
  if (name.find(q.plain) != std::string::npos) return true;
  if (q.folded.empty()) return false;
  std::string folded = AsciiLower(SjisToUtf8(Fold(Utf8ToSjis(utf8_name))));
  return folded.find(q.folded) != std::string::npos;
}

// The variable's description without the type letter that ends it ("…変数e"),
// and that letter's meaning. A description of exactly "e" or "s" is only a type.
struct VariableText {
  std::string_view description;
  const char* type;  // "number", "text" or nullptr
};

VariableText SplitTypeLetter(std::string_view d) {
  if (d.empty()) return {d, nullptr};
  char last = d.back();
  if (last != 'e' && last != 's') return {d, nullptr};
  // Only a letter after a Japanese character (or alone) is a type letter.
  if (d.size() > 1 && static_cast<unsigned char>(d[d.size() - 2]) < 0x80) return {d, nullptr};
  return {d.substr(0, d.size() - 1), last == 'e' ? "number" : "text"};
}

void Write(std::string_view s) {
  fwrite(s.data(), 1, s.size(), stdout);
}

}  // namespace

int PrintCommandReference(const std::string& word) {
  NameQuery query = Prepare(word);
  std::string out;
  size_t matched = 0;
  for (CommandTable table : CommandTables()) {
    for (const CommandRow& row : table) {
      if (!Matches(query, row.Name)) continue;
      ++matched;
      out += row.Name;
      if (*row.Template) {
        out += ' ';
        out += row.Template;
      }
      out += kDash;
      if (const char* text = CommandDescription(row.Id)) out += text;
      out += '\n';
    }
  }
  if (matched == 0) {
    fprintf(stderr, "sorane: no command name contains \"%s\"\n", word.c_str());
    return 1;
  }
  Write(out);
  return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
}

int PrintVariableReference() {
  std::string out;
  for (const SystemVariableEntry& v : SystemVariableEntries()) {
    VariableText t = SplitTypeLetter(v.Description);
    out += v.Name;
    out += " = 「";
    out += v.Default;
    out += "」";
    if (!t.description.empty()) {
      out += kDash;
      out += t.description;
    }
    if (t.type || v.ReadOnly) {
      out += " (";
      if (t.type) out += t.type;
      if (t.type && v.ReadOnly) out += ", ";
      if (v.ReadOnly) out += "read-only";
      out += ')';
    }
    out += '\n';
  }
  Write(out);
  return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
}

}  // namespace sorane

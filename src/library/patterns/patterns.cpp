// Pattern commands: マッチ (wildcards with pick-ups) and the regular-expression
// commands 正規表現マッチ/RE, 正規表現区切る, 正規表現置換 and 正規表現入換, which
// report a count in マッチ数.
#include <exception>
#include <new>

#include "library/library.h"
#include "library/patterns/patterns_regex.h"
#include "library/patterns/patterns_wild.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

namespace {

// Most pieces a split returns (the last one holds the rest).
constexpr size_t kSplitLimit = 1000;

// A source-variable argument: a variable named as written is read and later
// updated (never それ itself); anything else is evaluated and must not be empty.
struct Source {
  std::string value;
  THashNode* word = nullptr;
};

Source ReadSource(Call& c, size_t k) {
  const std::string& raw = c.Raw(k);
  if (!raw.empty() && raw[0] != '`') {
    THashNode* w = c.in.S.Words.FindExact(raw);
    if (w && w->Kind == kWordVariable) return {w->Value(), w == c.in.S.Fast.Sore ? nullptr : w};
  }
  std::string value = c.in.Evaluate(raw);
  if (value.empty()) c.BadArgument();
  return {std::move(value), nullptr};
}

std::string JoinLines(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& s : items) {
    out += s;
    out += "\r\n";
  }
  return out;
}

void SetMatchCount(Interpreter& in, size_t count) {
  const std::string& name = SJ("マッチ数");
  THashNode* w = in.S.Words.FindExact(name);
  if (!w) w = in.S.Words.AddVariable(name, "", "e", 0);
  w->ValueToWrite() = FormatNumber(static_cast<Number>(count));
  w->TypeMark = "e";
}

// Runs one regular-expression step; its failures are reported under the
// command's name.
template <typename F>
void RunRegex(Call& c, F step) {
  std::string message;
  try {
    step();
    return;
  } catch (const RegexError& e) {
    message = e.what();
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  }
  c.in.Raise(Format(SJ("\"%s\"で、Bregexp.dllのエラー。"), c.cmd.Name) + message);
}

// マッチ (?を,?で): source variable, wildcard pattern.
void CmdWildcardMatch(Call& c) {
  std::string pattern = c.Text(1);
  Source source = ReadSource(c, 0);
  std::string rest = source.value;
  std::string head;
  std::vector<std::string> pickups;
  bool matched = false;
  try {
    matched = WildCut(pattern, rest, head, pickups);
  } catch (const WildcardError& e) {
    c.in.Raise(SJ("マッチでエラー。") + e.what());
  }
  if (matched && source.word) source.word->ValueToWrite() = std::move(rest);
  c.ReturnCommon(Trim(head + "\r\n" + JoinLines(pickups)));
}

// 正規表現マッチ (?を,?で) / RE (?,?): target, pattern.
void CmdRegexMatch(Call& c) {
  std::string pattern = c.Text(1);
  std::string target = c.Text(0);
  RunRegex(c, [&] {
    std::vector<std::string> groups = RegexMatch(pattern, target);
    SetMatchCount(c.in, groups.size());
    c.ReturnCommon(JoinLines(groups));
  });
}

// 正規表現区切る (?を,?で): target, pattern.
void CmdRegexSplit(Call& c) {
  std::string pattern = c.Text(1);
  std::string target = c.Text(0);
  RunRegex(c, [&] {
    std::vector<std::string> pieces = RegexSplit(pattern, target, kSplitLimit);
    SetMatchCount(c.in, pieces.size());
    c.ReturnCommon(JoinLines(pieces));
  });
}

// 正規表現置換 (?を,?で): target, s/// command.
void CmdRegexReplace(Call& c) {
  std::string command = c.Text(1);
  std::string target = c.Text(0);
  RunRegex(c, [&] {
    RegexSubstitution r = RegexSubstitute(command, target);
    SetMatchCount(c.in, r.replaced ? r.group_count + 1 : 0);
    c.ReturnCommon(std::move(r.text));
  });
}

// 正規表現入換 (?を,?で): target, tr/// command.
void CmdRegexTranslate(Call& c) {
  std::string command = c.Text(1);
  std::string target = c.Text(0);
  RunRegex(c, [&] {
    std::string text = RegexTranslate(command, target);
    SetMatchCount(c.in, 0);
    c.ReturnCommon(std::move(text));
  });
}

}  // namespace

CommandTable PatternCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::RegexMatch, "正規表現マッチ", "?を,?で", CmdRegexMatch, kPure},
      {CommandId::RegexMatch, "RE", "?,?", CmdRegexMatch, kPure},
      {CommandId::RegexSplit, "正規表現区切る", "?を,?で", CmdRegexSplit, kPure},
      {CommandId::RegexReplace, "正規表現置換", "?を,?で", CmdRegexReplace, kPure},
      {CommandId::RegexTranslate, "正規表現入換", "?を,?で", CmdRegexTranslate, kPure},
      {CommandId::WildcardMatch, "マッチ", "?を,?で", CmdWildcardMatch, kPure},
  };
  return kRows;
}

}  // namespace sorane

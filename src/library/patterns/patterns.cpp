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
#include "runtime/messages.h"
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

Source PopSource(Interpreter& in, THashNode& cmd) {
  std::string raw = in.PopRaw();
  if (!raw.empty() && raw[0] != '`') {
    THashNode* w = in.S.Words.FindExact(raw);
    if (w && w->Kind == kWordVariable) return {w->Value, w == in.S.Fast.Sore ? nullptr : w};
  }
  std::string value = in.Evaluate(raw);
  if (value.empty()) in.Raise(msg::BadArgument(), cmd.Name);
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
  w->Value = FormatNumber(static_cast<Number>(count));
  w->TypeMark = "e";
}

// Runs one regular-expression step; its failures are reported under the
// command's name.
template <typename F>
void RunRegex(Interpreter& in, THashNode& cmd, F step) {
  std::string message;
  try {
    step();
    return;
  } catch (const RegexError& e) {
    message = e.what();
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  }
  in.Raise(Format(SJ("\"%s\"で、Bregexp.dllのエラー。"), cmd.Name) + message);
}

// マッチ (?を,?で): source variable, wildcard pattern.
void CmdWildcardMatch(Interpreter& in, THashNode& cmd) {
  std::string pattern = in.PopValue();
  Source source = PopSource(in, cmd);
  std::string rest = source.value;
  std::string head;
  std::vector<std::string> pickups;
  bool matched = false;
  try {
    matched = WildCut(pattern, rest, head, pickups);
  } catch (const WildcardError& e) {
    in.Raise(SJ("マッチでエラー。") + e.what());
  }
  if (matched && source.word) source.word->Value = std::move(rest);
  in.SetSore(Trim(head + "\r\n" + JoinLines(pickups)), "s");
}

// 正規表現マッチ (?を,?で) / RE (?,?): target, pattern.
void CmdRegexMatch(Interpreter& in, THashNode& cmd) {
  std::string pattern = in.PopValue();
  std::string target = in.PopValue();
  RunRegex(in, cmd, [&] {
    std::vector<std::string> groups = RegexMatch(pattern, target);
    SetMatchCount(in, groups.size());
    in.SetSore(JoinLines(groups), "s");
  });
}

// 正規表現区切る (?を,?で): target, pattern.
void CmdRegexSplit(Interpreter& in, THashNode& cmd) {
  std::string pattern = in.PopValue();
  std::string target = in.PopValue();
  RunRegex(in, cmd, [&] {
    std::vector<std::string> pieces = RegexSplit(pattern, target, kSplitLimit);
    SetMatchCount(in, pieces.size());
    in.SetSore(JoinLines(pieces), "s");
  });
}

// 正規表現置換 (?を,?で): target, s/// command.
void CmdRegexReplace(Interpreter& in, THashNode& cmd) {
  std::string command = in.PopValue();
  std::string target = in.PopValue();
  RunRegex(in, cmd, [&] {
    RegexSubstitution r = RegexSubstitute(command, target);
    SetMatchCount(in, r.replaced ? r.group_count + 1 : 0);
    in.SetSore(std::move(r.text), "s");
  });
}

// 正規表現入換 (?を,?で): target, tr/// command.
void CmdRegexTranslate(Interpreter& in, THashNode& cmd) {
  std::string command = in.PopValue();
  std::string target = in.PopValue();
  RunRegex(in, cmd, [&] {
    std::string text = RegexTranslate(command, target);
    SetMatchCount(in, 0);
    in.SetSore(std::move(text), "s");
  });
}

}  // namespace

CommandTable PatternCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::RegexMatch, "正規表現マッチ", "?を,?で", Popping<CmdRegexMatch>, kPure},
      {CommandId::RegexMatch, "RE", "?,?", Popping<CmdRegexMatch>, kPure},
      {CommandId::RegexSplit, "正規表現区切る", "?を,?で", Popping<CmdRegexSplit>, kPure},
      {CommandId::RegexReplace, "正規表現置換", "?を,?で", Popping<CmdRegexReplace>, kPure},
      {CommandId::RegexTranslate, "正規表現入換", "?を,?で", Popping<CmdRegexTranslate>, kPure},
      {CommandId::WildcardMatch, "マッチ", "?を,?で", Popping<CmdWildcardMatch>, kPure},
  };
  return kRows;
}

}  // namespace sorane

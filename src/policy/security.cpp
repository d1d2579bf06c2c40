#include "policy/security.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/path_resolve.h"
#include "platform/standard_output.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

SecurityAsker g_asker = &AskOnTerminal;

constexpr std::string_view kIniName = "security.ini";

// Blanks of a profile line.
std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Letter case folded only on single-byte characters (trail bytes stay).
bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    size_t len = CharLen(a, i);
    if (len == 2) {
      if (a.substr(i, 2) != b.substr(i, 2)) return false;
    } else if (AsciiUpper(a.substr(i, 1)) != AsciiUpper(b.substr(i, 1))) {
      return false;
    }
    i += len;
  }
  return true;
}

std::string ProgramFolderName(Interpreter& in) {
  return in.S.HostPath.empty() ? CurrentFolder() : in.S.HostPath;
}

std::string IniOsPath(Interpreter& in) {
  std::string folder = ToOsPath(ProgramFolderName(in));
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + std::string(kIniName);
}

// Step 1: the level security.ini names for this program, or -1.
int LevelFromFile(Interpreter& in) {
  std::string section = ExtractFileName(in.S.ProgramPath);
  if (section.empty()) return -1;
  std::string text;
  if (!ReadFileBytes(FromOsPath(IniOsPath(in)), text)) return -1;
  return SecurityLevelFromIni(text, section);
}

bool HasWildcard(std::string_view target) {
  return target.find_first_of("*?") != std::string_view::npos;
}

// The guard: a name, a link or a hard link to security.ini (also a link whose
// target does not exist yet: writing it would create the file), or a folder
// that holds the program's security.ini (the program's folder or one above it).
bool TouchesSecurityIni(Interpreter& in, const PolicyTarget& target) {
  if (IsSecurityIniName(target.name)) return true;
  if (target.name == "*") return false;
  std::string os = ToOsPath(target.name);
  ResolvedPath reached = ResolveOsPath(os, FinalLink::kFollow);
  if (!reached.ok) return false;  // no such path can be written (IsInside refuses it)
  const std::string& real = reached.real;
  if (IsSecurityIniName(FromOsPath(real))) return true;
  std::string ini = IniOsPath(in);
  struct stat ini_st;
  if (stat(ini.c_str(), &ini_st) != 0) return false;
  struct stat st;
  if (stat(os.c_str(), &st) == 0 && st.st_dev == ini_st.st_dev && st.st_ino == ini_st.st_ino)
    return true;
  std::string folder = ProgramFolderReal(in);
  return !folder.empty() && (real == folder || IsInsideFolder(folder, real));
}

void WarnSecurityIni(Interpreter& in) {
  in.host.Dialogs().MessageBox(SJ("このプログラムは、\"security.ini\"を、操作出来ません！"),
                               SJ("セキュリティの警告"));
}

// Inside when the path the command will really reach (links followed as the
// command follows them, missing folders walked as they will be created) lies
// below the real program folder.
bool IsInside(Interpreter& in, const PolicyTarget& target) {
  if (HasWildcard(target.name)) return false;
  std::string folder = ProgramFolderReal(in);
  if (folder.empty()) return false;
  ResolvedPath reached = ResolveOsPath(ToOsPath(target.name), target.final_link);
  return reached.ok && IsInsideFolder(reached.real, folder);
}

bool Ask(Interpreter& in, const std::string& question) {
  SecurityAsker asker = g_asker ? g_asker : &AskOnTerminal;
  switch (asker(in, question)) {
    case kAnswerYes:
      return true;
    case kAnswerYesToAll:
      in.S.SecurityLevel = 0;
      return true;
    case kAnswerNoToAll:
      in.S.SecurityLevel = 2;
      return false;
    default:
      return false;
  }
}

}  // namespace

int SecurityLevelFromIni(std::string_view ini, std::string_view section) {
  bool in_section = false;
  bool seen_section = false;
  size_t pos = 0;
  while (pos < ini.size()) {
    size_t end = ini.find('\n', pos);
    if (end == std::string_view::npos) end = ini.size();
    std::string_view line = TrimBlanks(ini.substr(pos, end - pos));
    pos = end + 1;
    if (!line.empty() && line.front() == '[') {
      // Only the first section of that name counts, as profile readers do.
      if (in_section) return -1;
      size_t close = line.find(']');
      std::string_view name =
          TrimBlanks(line.substr(1, close == line.npos ? line.npos : close - 1));
      in_section = !seen_section && SameIgnoringCase(name, section);
      seen_section = seen_section || in_section;
      continue;
    }
    if (!in_section) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (!SameIgnoringCase(TrimBlanks(line.substr(0, eq)), "security")) continue;
    std::string_view value = TrimBlanks(line.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.empty()) return -1;
    char c = value.front();
    if (c == 'H' || c == 'h') return 2;
    if (c == 'L' || c == 'l') return 0;
    return 1;
  }
  return -1;
}

bool IsSecurityIniName(std::string_view name) {
  while (!name.empty() && (name.back() == '/' || name.back() == '\\')) {
    // A "\" may be the trail byte of a double-byte character: only strip it
    // when it stands alone.
    if (name.back() == '\\' && name.size() >= 2 && CharLen(name, name.size() - 2) == 2) break;
    name.remove_suffix(1);
  }
  std::string last = ExtractFileName(name);
  return SameIgnoringCase(last, kIniName);
}

bool IsInsideFolder(std::string_view path, std::string_view folder) {
  if (folder.empty()) return false;
  if (folder == "/") return path.size() > 1 && path.front() == '/';
  return path.size() > folder.size() + 1 && path.substr(0, folder.size()) == folder &&
         path[folder.size()] == '/';
}

std::string ProgramFolderReal(Interpreter& in) {
  std::string os = ToOsPath(ProgramFolderName(in));
  struct stat st;
  if (stat(os.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  return CanonicalOsPath(os);
}

std::string QuotedQuestion(const std::string& target, const std::string& tail) {
  return "\"" + target + "\"" + tail;
}

const std::vector<std::string>& SecurityButtons() {
  static const std::vector<std::string> buttons = {SJ("はい"), SJ("いいえ"), SJ("全てはい"),
                                                   SJ("全ていいえ")};
  return buttons;
}

void SetSecurityAsker(SecurityAsker asker) {
  g_asker = asker ? asker : &AskOnTerminal;
}

int AskThroughHost(Interpreter& in, const std::string& question) {
  return in.host.Dialogs().AskChoice(question, SecurityButtons());
}

int SecurityAnswerOf(const std::string& typed) {
  std::string answer = AsciiLower(TrimWide(typed));
  if (answer == "y" || answer == "yes" || answer == SJ("はい")) return kAnswerYes;
  if (answer == "n" || answer == "no" || answer == SJ("いいえ")) return kAnswerNo;
  if (answer == SJ("全てはい")) return kAnswerYesToAll;
  if (answer == SJ("全ていいえ")) return kAnswerNoToAll;
  return -1;
}

int AskByTyping(Interpreter& in, const std::string& question) {
  std::string prompt = SJ("[セキュリティ] 次の操作を許可しますか？ ") + question + "\r\n" +
                       SJ("y (はい) / n (いいえ) / 全てはい / 全ていいえ:");
  for (;;) {
    std::optional<std::string> typed = in.host.Dialogs().AskText(prompt, "");
    if (!typed) return -1;
    int answer = SecurityAnswerOf(*typed);
    if (answer >= 0) return answer;
    prompt = SJ("y、n、はい、いいえ、全てはい、全ていいえ のどれかで答えてください:");
  }
}

int AskOnTerminal(Interpreter& in, const std::string& question) {
  if (isatty(0)) return AskByTyping(in, question);
  std::string line = SjisToUtf8(question);
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  std::string out = "[セキュリティ] " + line +
                    " → いいえ（標準入力が端末ではないため確認できません。"
                    "許可するには -security low を付けて実行してください）\n";
  {
    StandardOutputCall call;
    fflush(stdout);
  }
  fwrite(out.data(), 1, out.size(), stderr);
  fflush(stderr);
  return kAnswerNo;
}

bool SecurityIniGuard(Interpreter& in, const std::string& target) {
  if (!TouchesSecurityIni(in, PolicyTarget{target})) return true;
  WarnSecurityIni(in);
  return false;
}

namespace {
bool CheckTargets(Interpreter& in, const std::vector<PolicyTarget>& targets,
                  const std::string& question, const std::function<void()>& before_asking) {
  // A NUL would cut the name short at the system call: nothing judged here
  // would be what is written. Commands refuse such names with their own
  // message first; this keeps a writer that forgets from being fooled.
  for (const PolicyTarget& t : targets)
    if (HasNulByte(t.name)) return false;
  int named = LevelFromFile(in);
  if (named >= 0) in.S.SecurityLevel = named;
  if (in.S.SecurityLevel >= 2) return false;
  for (const PolicyTarget& t : targets) {
    if (!TouchesSecurityIni(in, t)) continue;
    WarnSecurityIni(in);
    return false;
  }
  if (in.S.SecurityLevel <= 0) return true;
  bool inside = true;
  for (const PolicyTarget& t : targets) inside = inside && IsInside(in, t);
  if (inside) return true;
  if (before_asking) before_asking();
  return Ask(in, question);
}
}  // namespace

bool SecurityCheck(Interpreter& in, const std::vector<PolicyTarget>& targets,
                   const std::string& question) {
  return CheckTargets(in, targets, question, {});
}

bool SecurityCheck(Interpreter& in, const std::string& target, const std::string& question,
                   const std::function<void()>& before_asking) {
  return CheckTargets(in, {{target}}, question, before_asking);
}

bool SecurityCheck(Interpreter& in, const std::vector<std::string>& targets,
                   const std::string& question) {
  std::vector<PolicyTarget> written;
  for (const std::string& t : targets) written.push_back({t});
  return SecurityCheck(in, written, question);
}

bool SecurityCheck(Interpreter& in, const std::string& target, const std::string& question) {
  return SecurityCheck(in, std::vector<PolicyTarget>{{target}}, question);
}

std::string NameForMessage(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '\0')
      out += "\\0";
    else
      out += c;
  }
  return out;
}

}  // namespace sorane

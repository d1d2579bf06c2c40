// The security policy: every command that writes, deletes, moves or renames a
// file or folder, or writes the registry, an INI file or a file association,
// calls SecurityCheck first and does nothing (silently) when it answers false.
//
// Levels (in.S.SecurityLevel): 0 low = everything allowed; 1 middle (the
// default) = targets inside the program's folder are allowed silently, anything
// else is asked; 2 high = everything refused. The level comes from `-security`
// and is overridden on every check by "security.ini" in the program's folder:
//
//   [<program file name, e.g. tool.srn>]
//   security=high|mid|low        (only the first letter counts: H, L, else middle)
//
// Scripts can never change security.ini: a target whose file name is
// security.ini (any letter case, also reached through a link) is refused with a
// warning at every level, and so is the program's folder itself or a folder
// above it while a security.ini lies there (deleting or moving those would take
// the file along).
//
// "Inside the program's folder" is decided on the path the command will really
// reach (ResolveOsPath, platform/path_resolve.h): a relative target counts from
// the current folder, "\" is a separator, links are followed component by
// component as the command follows them — a final link whose target does not
// exist yet included, since writing it creates that target — and folders still
// to be created are walked as the creating code walks them ("nx/../link/.."
// leaves through the link). The result must lie strictly below the real path
// of the program's folder. A name holding a NUL byte is always refused. A target holding
// "*" or "?" (a pattern, or "*" for registry and association changes) is never
// inside.
//
// Asking shows the question with the buttons はい / いいえ / 全てはい / 全ていいえ;
// 全てはい sets the level to low, 全ていいえ to high for the rest of the run
// (unless security.ini names a level). How the question is asked is pluggable:
// the console host asks on the terminal (answered y/n, はい/いいえ, ...) only
// when standard input is one;
// otherwise the answer is いいえ and one line on standard error tells what was
// refused and how to allow it. A windowed host installs AskThroughHost.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path_resolve.h"

namespace sorane {

class Interpreter;

// A name a command changes (CP932, relative to the current folder unless
// absolute, or "*"), and whether the command acts through a final link
// (writing, creating) or on the name itself (removing or renaming a link).
struct PolicyTarget {
  std::string name;
  FinalLink final_link = FinalLink::kFollow;
};

// target: the file or folder the command will change, as the command will use
// it (CP932, relative to the current folder unless absolute), or "*".
// question: the complete question (CP932), built by the command.
// Returns true when the command may go on; false means skip without an error.
bool SecurityCheck(Interpreter& in, const std::string& target, const std::string& question);
// For commands that change two places (move, rename, copy): the security.ini
// guard applies to every target, and the command is silent only when every
// target is inside; otherwise one question is asked.
bool SecurityCheck(Interpreter& in, const std::vector<std::string>& targets,
                   const std::string& question);
// The same with the way each target is reached; the string forms above mean
// FinalLink::kFollow for every target.
bool SecurityCheck(Interpreter& in, const std::vector<PolicyTarget>& targets,
                   const std::string& question);
// The first form, calling `before_asking` before a question is asked (the
// script's events may run while it is on screen).
bool SecurityCheck(Interpreter& in, const std::string& target, const std::string& question,
                   const std::function<void()>& before_asking);
// The security.ini guard alone, for each file of a command that touches many
// (copying a pattern into a folder). False (after the warning) when refused.
bool SecurityIniGuard(Interpreter& in, const std::string& target);

// A name for an error message: a NUL byte shown as "\0" (the name as the
// script wrote it, not the part a system call would have seen).
std::string NameForMessage(std::string_view name);

// "\"" + target + "\"" + tail: the form most questions take.
std::string QuotedQuestion(const std::string& target, const std::string& tail);

// Button indexes returned by an asker; -1 = closed without an answer.
enum SecurityAnswer { kAnswerYes = 0, kAnswerNo = 1, kAnswerYesToAll = 2, kAnswerNoToAll = 3 };
using SecurityAsker = int (*)(Interpreter& in, const std::string& question);
// Installs the way questions are asked (nullptr restores AskOnTerminal).
void SetSecurityAsker(SecurityAsker asker);
// The default: AskByTyping when standard input is a terminal; else "no" with a
// line on standard error.
int AskOnTerminal(Interpreter& in, const std::string& question);
// The question as a line to answer (in.host.AskText), saying what it asks; asked
// again until the answer is y, yes, n, no (any case), はい, いいえ, 全てはい or
// 全ていいえ. The end of input answers -1 (refused).
int AskByTyping(Interpreter& in, const std::string& question);
// The answer a typed line gives (blanks around it ignored), or -1 for none.
int SecurityAnswerOf(const std::string& typed);
// Always through in.host.AskChoice (for a host with real dialogs).
int AskThroughHost(Interpreter& in, const std::string& question);
// The four button captions (CP932).
const std::vector<std::string>& SecurityButtons();

// ---- Parts of the decision, exposed for tests ----
// The level that an INI text names for `section` (0, 1, 2), or -1 when the
// section, the key or a value is missing. Section and key ignore letter case.
int SecurityLevelFromIni(std::string_view ini, std::string_view section);
// True when the last component of a name (trailing separators ignored) is
// "security.ini" in any letter case.
bool IsSecurityIniName(std::string_view name);
// True when the canonical path lies strictly below the canonical folder.
bool IsInsideFolder(std::string_view path, std::string_view folder);
// The real path of the program's folder (UTF-8, no trailing "/"; "" if missing).
std::string ProgramFolderReal(Interpreter& in);

}  // namespace sorane

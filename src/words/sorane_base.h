// TSoraneBase: the interpreter state of one run. It owns the word table, the
// stacks, the object list and the source texts; the runtime and every command
// handler work on it.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "words/hash.h"
#include "words/obj_list.h"
#include "words/run_control.h"
#include "words/stack.h"

namespace sorane {

// Whether a type mark types its value as a number.
inline bool IsNumberMark(std::string_view mark) {
  return mark.size() == 1 && mark[0] == 'e';
}

// SetTypeMark for marks that are not both one letter.
void AssignTypeMark(std::string& mark, std::string_view m);

// Sets a type mark ("e", "s", …); one that already reads so is left as it is.
// (Most marks are one letter and become one letter: that is one store, made
// where the mark is set, the new mark's length known there.)
[[gnu::always_inline]] inline void SetTypeMark(std::string& mark, std::string_view m) {
  if (m.size() == 1 && mark.size() == 1) {
    mark[0] = m[0];  // (the usual marks, "e" and "s", in place)
    return;
  }
  AssignTypeMark(mark, m);
}

// Direct references to system-variable words the run-time reads and writes.
struct TFastWords {
  THashNode* Sore = nullptr;          // それ
  THashNode* So = nullptr;            // そ
  THashNode* Count = nullptr;         // 回数
  THashNode* ErrorMessage = nullptr;  // エラーメッセージ
  THashNode* CannotClose = nullptr;   // 終了不可能
  THashNode* Soshite = nullptr;       // そして
  THashNode* Naraba = nullptr;        // ならば
  THashNode* Nara = nullptr;          // なら
  THashNode* Chigaeba = nullptr;      // 違えば
  THashNode* Denakereba = nullptr;    // でなければ
  THashNode* Moshi = nullptr;         // もし
  THashNode* TabCount = nullptr;      // タブ文字の個数
  THashNode* PrintTarget = nullptr;   // 表示出力先
};

// State that command families keep for one run (the open file handles, the
// INI file and registry key, the 表検索 search, the ログる records): each kind is
// made on first use and all are freed, latest first, when the next run starts
// or the interpreter state goes.
class TRunStates {
 public:
  TRunStates() = default;
  TRunStates(const TRunStates&) = delete;
  TRunStates& operator=(const TRunStates&) = delete;
  ~TRunStates() { Clear(); }

  // The T of this run, default-constructed on first use.
  template <class T>
  T& Get() {
    static const char tag = 0;
    return *static_cast<T*>(Slot(
        &tag, []() -> void* { return new T(); }, [](void* p) { delete static_cast<T*>(p); }));
  }
  void Clear();

 private:
  void* Slot(const void* tag, void* (*create)(), void (*destroy)(void*));
  struct Entry {
    const void* tag;
    void* object;
    void (*destroy)(void*);
  };
  std::vector<Entry> entries_;
};

class TSoraneBase {
 public:
  TSoraneBase();

  // Startup: the command line and the script source.
  SourceNameRef SourceName;
  std::string ProgramText;
  bool RuntimeOption = false;
  bool FromArchive = false;
  bool BesideExe = false;
  bool DebugOption = false;
  bool LineStopOption = false;
  int SecurityLevel = 1;
  // The encoding of the text files scripts read and write (a TextFileEncoding,
  // library/files/text_encoding.h); -1 until the command line or the
  // environment sets it, which counts as the default Shift-JIS.
  int TextEncoding = -1;
  std::string HostPath;                  // folder of the main program file, with a trailing "/"
  std::string ProgramPath;               // the main program file
  std::string RuntimePath;               // folder of the run-time executable, with a trailing "/"
  std::vector<std::string> CommandLine;  // the items of コマンドライン引数

  // Execution.
  TPos ExecPos;
  int LineNo = 0;
  THash Words;
  int CursorX = 0, CursorY = 0;  // output cursor of 表示 in client pixels
  bool Centring = false;         // センタリング: printed lines are centred
  TStack ArgStack;
  TStack FuncArgs;
  TRunControlStack RunStack;
  TObjList Objects;
  TRunStates RunStates;  // after Words: freed before the words it may refer to
  // State made at startup that lasts while the interpreter state does (the
  // resource archive of a packed program): preparing a run keeps it.
  TRunStates StartStates;
  int CondResult = -1;
  bool StopRequested = false;
  bool CallMode = false;
  bool SoreImplied = false;
  std::string SwitchValue;  // "\~未定義" when no 条件分岐 is open
  std::string SoreType;     // type mark of the value last produced

  // Errors.
  bool ErrorReporting = true;
  THashNode* ErrorHandler = nullptr;
  TPos ErrorPos;
  THashNode* CloseHandler = nullptr;
  TPos DeferredJump;

  // Preprocessed source texts (0 = main program); label positions point into them.
  static constexpr size_t kMaxSources = 50;
  std::vector<std::shared_ptr<const std::string>> Sources;

  TFastWords Fast;
  std::mt19937_64 Random;

  // Sets それ's Value and SoreType (not それ's own TypeMark).
  void SetSore(std::string&& value, const char* type) {
    Fast.Sore->ValueToWrite() = std::move(value);
    SetTypeMark(SoreType, type);
  }
  // A copy written into それ's own room.
  void SetSore(const std::string& value, const char* type) {
    Fast.Sore->ValueToWrite() = value;
    SetTypeMark(SoreType, type);
  }
  // The sentinel of SwitchValue.
  static const std::string& NoSwitch();
};

}  // namespace sorane

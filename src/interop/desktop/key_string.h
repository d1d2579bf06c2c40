// The key strings キー送信 types, read into the steps that type them. Pure:
// nothing here touches a display. Keys are named by virtual-key numbers
// (13 Enter, 16 Shift, 112 F1, …), the numbering scripts already use.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorane {

inline constexpr int kVkShift = 16, kVkControl = 17, kVkAlt = 18, kVkEnter = 13, kVkTab = 9;

struct KeyStep {
  enum class Kind : unsigned char {
    kHold,     // press the modifier `key` and keep it down
    kRelease,  // let the modifier `key` go
    kKey,      // press and release the named key `key`, `count` times
    kChar,     // type the character `text` (one CP932 character), `count` times
  };
  Kind kind = Kind::kKey;
  int key = 0;
  std::string text;
  long long count = 1;
  bool operator==(const KeyStep&) const = default;
};

// The virtual-key number of a key name of the {…} form, letter case ignored;
// 0 when the name is none of them.
int KeyNameCode(std::string_view name);

// "+", "^", "%" hold Shift, Ctrl, Alt around the next element; "(…)" groups
// elements; "~" is Enter; "{name}" and "{name count}" are a named key or a
// single character; "{}}" is "}". A line break (CR LF, CR or LF) is Enter and
// a TAB is Tab. Unknown names type nothing; an unclosed "{" is typed as it is.
// Counts are kept, never expanded, so a huge count costs no memory.
std::vector<KeyStep> ParseKeyString(std::string_view keys);

}  // namespace sorane

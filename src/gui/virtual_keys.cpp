#include "gui/virtual_keys.h"

#include <unordered_map>

namespace sorane {

// Keys whose number is not a simple range.
static const std::unordered_map<int, int>& KeyTable() {
  static const std::unordered_map<int, int> table = {
      {Qt::Key_Backspace, 8},
      {Qt::Key_Tab, 9},
      {Qt::Key_Backtab, 9},
      {Qt::Key_Clear, 12},
      {Qt::Key_Return, 13},
      {Qt::Key_Enter, 13},
      {Qt::Key_Shift, 16},
      {Qt::Key_Control, 17},
      {Qt::Key_Alt, 18},
      {Qt::Key_Pause, 19},
      {Qt::Key_CapsLock, 20},
      {Qt::Key_Kana_Lock, 21},
      {Qt::Key_Kanji, 25},
      {Qt::Key_Escape, 27},
      {Qt::Key_Henkan, 28},
      {Qt::Key_Muhenkan, 29},
      {Qt::Key_Space, 32},
      {Qt::Key_PageUp, 33},
      {Qt::Key_PageDown, 34},
      {Qt::Key_End, 35},
      {Qt::Key_Home, 36},
      {Qt::Key_Left, 37},
      {Qt::Key_Up, 38},
      {Qt::Key_Right, 39},
      {Qt::Key_Down, 40},
      {Qt::Key_Select, 41},
      {Qt::Key_Printer, 42},
      {Qt::Key_Execute, 43},
      {Qt::Key_Print, 44},
      {Qt::Key_Insert, 45},
      {Qt::Key_Delete, 46},
      {Qt::Key_Help, 47},
      {Qt::Key_Meta, 91},
      {Qt::Key_Super_L, 91},
      {Qt::Key_Super_R, 92},
      {Qt::Key_Menu, 93},
      {Qt::Key_Sleep, 95},
      {Qt::Key_NumLock, 144},
      {Qt::Key_ScrollLock, 145},
      // Punctuation of the main block, by its key on a Japanese keyboard.
      {Qt::Key_Colon, 186},
      {Qt::Key_Asterisk, 186},
      {Qt::Key_Semicolon, 187},
      {Qt::Key_Plus, 187},
      {Qt::Key_Equal, 189},
      {Qt::Key_Comma, 188},
      {Qt::Key_Less, 188},
      {Qt::Key_Minus, 189},
      {Qt::Key_Period, 190},
      {Qt::Key_Greater, 190},
      {Qt::Key_Slash, 191},
      {Qt::Key_Question, 191},
      {Qt::Key_At, 192},
      {Qt::Key_QuoteLeft, 192},
      {Qt::Key_BracketLeft, 219},
      {Qt::Key_BraceLeft, 219},
      {Qt::Key_Backslash, 220},
      {Qt::Key_Bar, 220},
      {Qt::Key_yen, 220},
      {Qt::Key_BracketRight, 221},
      {Qt::Key_BraceRight, 221},
      {Qt::Key_AsciiCircum, 222},
      {Qt::Key_AsciiTilde, 222},
      {Qt::Key_Underscore, 226},
      {Qt::Key_Hiragana_Katakana, 242},
      {Qt::Key_Zenkaku_Hankaku, 243},
      {Qt::Key_Zenkaku, 243},
      {Qt::Key_Hankaku, 244},
  };
  return table;
}

// Keypad keys other than the digits.
static int KeypadKey(int qt_key) {
  switch (qt_key) {
    case Qt::Key_Asterisk:
      return 106;
    case Qt::Key_Plus:
      return 107;
    case Qt::Key_Minus:
      return 109;
    case Qt::Key_Period:
    case Qt::Key_Comma:
      return 110;
    case Qt::Key_Slash:
      return 111;
    default:
      return 0;
  }
}

int VirtualKeyOf(int qt_key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::KeypadModifier) {
    if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return 96 + (qt_key - Qt::Key_0);
    if (int k = KeypadKey(qt_key)) return k;
  }
  if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return qt_key;  // 65..90
  if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return qt_key;  // 48..57
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return 112 + (qt_key - Qt::Key_F1);
  // Shifted digits of a Japanese keyboard report the digit's key.
  static const char shifted_digits[] = "!\"#$%&'()";
  for (int d = 0; d < 9; ++d)
    if (qt_key == shifted_digits[d]) return '1' + d;
  auto it = KeyTable().find(qt_key);
  return it == KeyTable().end() ? 0 : it->second;
}

std::string SpecialKeysText(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons,
                            bool double_click) {
  const std::pair<bool, const char*> names[] = {{bool(modifiers & Qt::ShiftModifier), "Shift"},
                                                {bool(modifiers & Qt::AltModifier), "Alt"},
                                                {bool(modifiers & Qt::ControlModifier), "Ctrl"},
                                                {bool(buttons & Qt::LeftButton), "Left"},
                                                {bool(buttons & Qt::RightButton), "Right"},
                                                {bool(buttons & Qt::MiddleButton), "Middle"},
                                                {double_click, "Double"}};
  std::string text;
  for (const auto& [held, name] : names) {
    if (!held) continue;
    if (!text.empty()) text += "\r\n";
    text += name;
  }
  return text;
}

}  // namespace sorane

#include "interop/desktop/x11_keys.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <thread>
#include <utility>

#include "platform/lazy_library.h"
#include "platform/x11_display.h"
#include "text/encoding.h"

namespace sorane {

namespace {

// The XTest functions used, set when the library is first opened.
#define SORANE_XTEST_FUNCTIONS(F) F(XTestQueryExtension) F(XTestFakeKeyEvent)
SORANE_XTEST_FUNCTIONS(SORANE_LAZY_DEFINE)
SORANE_LAZY_LOADER(LoadXTest, SORANE_XTEST_FUNCTIONS, "libXtst.so.6", "libxtst6")

// How long a target is given to read a key typed on a borrowed key code
// before the code loses its keysym again.
constexpr auto kSettle = std::chrono::milliseconds(100);

// The first code point of UTF-8 text.
unsigned long FirstCodePoint(const std::string& u) {
  if (u.empty()) return 0;
  unsigned char c = u[0];
  int more = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
  unsigned long cp = more == 0 ? c : c & (0x3F >> more);
  for (int i = 1; i <= more && size_t(i) < u.size(); ++i) cp = (cp << 6) | (u[i] & 0x3F);
  return cp;
}

class Typist {
 public:
  Typist(X11Display& display, const std::function<void()>& pump)
      : display_(display), pump_(pump), map_(display.Keyboard()) {
    for (int code = map_.min_code; code <= map_.max_code; ++code) {
      bool empty = true;
      for (int col = 0; col < map_.per_code; ++col) empty = empty && Sym(code, col) == NoSymbol;
      if (empty) spare_.push_back(code);
    }
  }

  ~Typist() { ReturnBorrowed(); }

  void Run(const std::vector<KeyStep>& steps) {
    for (const KeyStep& step : steps) {
      switch (step.kind) {
        case KeyStep::Kind::kHold:
        case KeyStep::Kind::kRelease:
          Modifier(step.key, step.kind == KeyStep::Kind::kHold);
          break;
        case KeyStep::Kind::kKey:
          Tap(KeysymOfVirtualKey(step.key), step.count);
          break;
        case KeyStep::Kind::kChar:
          Tap(KeysymOfCharacter(step.text), step.count);
          break;
      }
    }
    for (int vk : {kVkShift, kVkControl, kVkAlt})
      if (held_[vk - kVkShift]) Modifier(vk, false);
    display_.Sync();
  }

 private:
  unsigned long Sym(int code, int col) const {
    return map_.syms[size_t(code - map_.min_code) * size_t(map_.per_code) + size_t(col)];
  }

  // The key code typing `sym`, and whether it needs Shift; 0 when the
  // keyboard has none.
  std::pair<int, bool> Find(unsigned long sym) const {
    for (int col = 0; col < 2 && col < map_.per_code; ++col)
      for (int code = map_.min_code; code <= map_.max_code; ++code)
        if (Sym(code, col) == sym) return {code, col == 1};
    for (const auto& [code, borrowed] : borrowed_)
      if (borrowed == sym) return {code, false};
    return {0, false};
  }

  int Borrow(unsigned long sym) {
    if (spare_.empty()) return 0;
    if (borrowed_.size() == spare_.size()) ReturnBorrowed();
    int code = spare_[borrowed_.size()];
    display_.SetKeySym(code, sym);
    borrowed_.emplace_back(code, sym);
    return code;
  }

  void ReturnBorrowed() {
    if (borrowed_.empty()) return;
    display_.Sync();
    for (auto end = std::chrono::steady_clock::now() + kSettle;
         std::chrono::steady_clock::now() < end;) {
      pump_();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (const auto& [code, sym] : borrowed_) display_.SetKeySym(code, 0);
    borrowed_.clear();
  }

  void Key(int code, bool down) { XTestFakeKeyEvent(display_.Handle(), code, down, CurrentTime); }

  void Modifier(int vk, bool down) {
    unsigned long sym = vk == kVkShift ? XK_Shift_L : vk == kVkControl ? XK_Control_L : XK_Alt_L;
    auto [code, shift] = Find(sym);
    if (!code && vk == kVkAlt) code = Find(XK_Meta_L).first;
    if (!code) code = Borrow(sym);
    if (!code) return;
    Key(code, down);
    held_[vk - kVkShift] = down;
  }

  void Tap(unsigned long sym, long long count) {
    if (!sym || count <= 0) return;
    auto [code, shift] = Find(sym);
    if (!code && sym >= 'A' && sym <= 'Z') {  // a layout listing letters in lower case only
      code = Find(sym - 'A' + 'a').first;
      shift = code != 0;
    }
    if (!code) code = Borrow(sym);
    if (!code) return;
    bool add_shift = shift && !held_[0];
    int shift_code = add_shift ? Find(XK_Shift_L).first : 0;
    for (long long i = 0; i < count; ++i) {
      if (shift_code) Key(shift_code, true);
      Key(code, true);
      Key(code, false);
      if (shift_code) Key(shift_code, false);
    }
  }

  X11Display& display_;
  const std::function<void()>& pump_;
  X11Display::KeyMap map_;
  std::vector<int> spare_;
  std::vector<std::pair<int, unsigned long>> borrowed_;
  bool held_[3] = {false, false, false};
};

}  // namespace

unsigned long KeysymOfVirtualKey(int vk) {
  if (vk >= 112 && vk <= 127) return XK_F1 + (vk - 112);
  switch (vk) {
    case 3:
      return XK_Break;
    case 8:
      return XK_BackSpace;
    case 9:
      return XK_Tab;
    case 12:
      return XK_Clear;
    case 13:
      return XK_Return;
    case 20:
      return XK_Caps_Lock;
    case 25:
      return XK_Zenkaku_Hankaku;  // the key that turns the input method on and off
    case 27:
      return XK_Escape;
    case 33:
      return XK_Prior;
    case 34:
      return XK_Next;
    case 35:
      return XK_End;
    case 36:
      return XK_Home;
    case 37:
      return XK_Left;
    case 38:
      return XK_Up;
    case 39:
      return XK_Right;
    case 40:
      return XK_Down;
    case 44:
      return XK_Print;
    case 45:
      return XK_Insert;
    case 46:
      return XK_Delete;
    case 47:
      return XK_Help;
    case 144:
      return XK_Num_Lock;
    case 145:
      return XK_Scroll_Lock;
  }
  return 0;
}

unsigned long KeysymOfCharacter(const std::string& sjis) {
  if (sjis.size() == 1) {
    unsigned char c = sjis[0];
    if (c >= 0x20 && c < 0x7F) return c;  // ASCII keysyms are the characters themselves
    if (c == 0x08) return XK_BackSpace;
    if (c == 0x1B) return XK_Escape;
    if (c < 0x80) return 0;
  }
  unsigned long cp = FirstCodePoint(SjisToUtf8(sjis));
  if (cp < 0x20 || cp == 0xFFFD) return 0;
  return cp <= 0xFF ? cp : 0x01000000 | cp;  // Unicode keysyms
}

bool TypeKeySteps(X11Display& display, const std::vector<KeyStep>& steps,
                  const std::function<void()>& pump) {
  int event = 0, error = 0, major = 0, minor = 0;
  if (!LoadXTest() || !XTestQueryExtension(display.Handle(), &event, &error, &major, &minor))
    return false;
  Typist typist(display, pump);
  typist.Run(steps);
  return true;
}

}  // namespace sorane

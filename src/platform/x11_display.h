// The X display named by DISPLAY, reached through libX11 loaded with dlopen
// when first needed: a run that never looks at other windows never loads it.
// This header holds no X types (libX11's macros clash with other headers).
#pragma once

#include <memory>
#include <string>
#include <vector>

struct _XDisplay;

namespace sorane {

class X11Display {
 public:
  // nullptr when libX11 is missing, DISPLAY is unset or the display refuses us.
  static std::unique_ptr<X11Display> Open();
  ~X11Display();
  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  struct Window {
    unsigned long id = 0;
    std::string title;       // UTF-8: _NET_WM_NAME, else WM_NAME
    std::string class_name;  // the class half of WM_CLASS
    bool visible = false;
  };
  // The top-level windows of programs, topmost first: the window manager's
  // client list, or the root's mapped children when no manager keeps one.
  std::vector<Window> TopLevelWindows();

  // Asks for `id` to become the active window (through the window manager
  // when there is one, else by raising it and giving it the input focus);
  // IsActive says whether that has happened yet.
  void RequestActivation(unsigned long id);
  bool IsActive(unsigned long id);

  // The core keyboard mapping: `syms[(code - min_code) * per_code + column]`.
  struct KeyMap {
    int min_code = 0, max_code = -1, per_code = 0;
    std::vector<unsigned long> syms;
  };
  KeyMap Keyboard();
  // Gives `code` the keysym `sym` (without and with Shift); 0 clears it.
  void SetKeySym(int code, unsigned long sym);
  // Sends what is queued and waits until the server has handled it.
  void Sync();

  _XDisplay* Handle() const { return display_; }

 private:
  explicit X11Display(_XDisplay* display) : display_(display) {}
  unsigned long Intern(const char* name);
  bool HasWindowManager();
  _XDisplay* display_;
};

}  // namespace sorane

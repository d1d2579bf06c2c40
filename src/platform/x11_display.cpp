#include "platform/x11_display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/lazy_library.h"

namespace sorane {

// The libX11 functions used: pointers with the library's own names, set when
// the library is first opened.
// clang-format off
#define SORANE_X11_FUNCTIONS(F)                                                         \
  F(XOpenDisplay) F(XCloseDisplay) F(XDefaultRootWindow) F(XInternAtom)                 \
  F(XGetWindowProperty) F(XFree) F(XQueryTree) F(XGetWMName)                            \
  F(Xutf8TextPropertyToTextList) F(XFreeStringList) F(XGetWindowAttributes)             \
  F(XSendEvent) F(XRaiseWindow) F(XSetInputFocus) F(XGetInputFocus) F(XSync)            \
  F(XDisplayKeycodes) F(XGetKeyboardMapping) F(XChangeKeyboardMapping) F(XSetErrorHandler)
// clang-format on

namespace {

SORANE_X11_FUNCTIONS(SORANE_LAZY_DEFINE)
SORANE_LAZY_LOADER(LoadX11, SORANE_X11_FUNCTIONS, "libX11.so.6", "libx11-6")

// A request about a window that has gone meanwhile gives an X error, whose
// default treatment ends the process: errors are dropped while we are connected.
int IgnoreError(Display*, XErrorEvent*) {
  return 0;
}
XErrorHandler g_previous_handler = nullptr;
int g_open_connections = 0;

}  // namespace

std::unique_ptr<X11Display> X11Display::Open() {
  const char* name = getenv("DISPLAY");
  if (!name || !*name) return nullptr;
  if (!LoadX11()) return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  if (g_open_connections++ == 0) g_previous_handler = XSetErrorHandler(IgnoreError);
  return std::unique_ptr<X11Display>(new X11Display(display));
}

X11Display::~X11Display() {
  XCloseDisplay(display_);
  if (--g_open_connections == 0) XSetErrorHandler(g_previous_handler);
}

unsigned long X11Display::Intern(const char* name) {
  return XInternAtom(display_, name, False);
}

namespace {

// One property of a window as its items (empty when it has none).
template <typename Item>
std::vector<Item> ReadProperty(Display* d, ::Window w, ::Atom name, ::Atom type) {
  ::Atom got = 0;
  int format = 0;
  unsigned long count = 0, rest = 0;
  unsigned char* data = nullptr;
  std::vector<Item> out;
  if (XGetWindowProperty(d, w, name, 0, 1 << 16, False, type, &got, &format, &count, &rest,
                         &data) == Success &&
      data) {
    // Format 32 comes as longs whatever the item size.
    size_t bytes = format == 32 ? sizeof(long) : size_t(format / 8);
    if (bytes == sizeof(Item))
      out.assign(reinterpret_cast<Item*>(data), reinterpret_cast<Item*>(data) + count);
    XFree(data);
  }
  return out;
}

}  // namespace

bool X11Display::HasWindowManager() {
  ::Window root = XDefaultRootWindow(display_);
  auto check =
      ReadProperty<unsigned long>(display_, root, Intern("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW);
  return !check.empty() && check[0] != 0;
}

std::vector<X11Display::Window> X11Display::TopLevelWindows() {
  ::Window root = XDefaultRootWindow(display_);
  std::vector<unsigned long> ids;
  bool managed = HasWindowManager();
  if (managed) {
    // Bottom to top; read the other way round below.
    ids =
        ReadProperty<unsigned long>(display_, root, Intern("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
    if (ids.empty())
      ids = ReadProperty<unsigned long>(display_, root, Intern("_NET_CLIENT_LIST"), XA_WINDOW);
  }
  if (ids.empty()) {
    managed = false;
    ::Window parent = 0, top = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display_, root, &top, &parent, &children, &count) && children) {
      ids.assign(children, children + count);
      XFree(children);
    }
  }
  std::reverse(ids.begin(), ids.end());
  const ::Atom net_name = Intern("_NET_WM_NAME"), utf8 = Intern("UTF8_STRING");
  std::vector<Window> out;
  for (unsigned long id : ids) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_, id, &attributes)) continue;  // gone meanwhile
    if (!managed && attributes.override_redirect) continue;          // menus, tips
    Window w;
    w.id = id;
    // A managed window counts as shown even when minimised, as in a task bar.
    w.visible = managed || attributes.map_state == IsViewable;
    auto name = ReadProperty<char>(display_, id, net_name, utf8);
    w.title.assign(name.begin(), name.end());
    XTextProperty text{};
    if (w.title.empty() && XGetWMName(display_, id, &text) && text.value) {
      char** list = nullptr;
      int count = 0;
      if (Xutf8TextPropertyToTextList(display_, &text, &list, &count) >= 0 && list && count > 0)
        w.title = list[0];
      if (list) XFreeStringList(list);
      XFree(text.value);
    }
    // WM_CLASS holds the instance name and the class name, each ending in NUL.
    auto classes = ReadProperty<char>(display_, id, XA_WM_CLASS, XA_STRING);
    std::string both(classes.begin(), classes.end());
    size_t nul = both.find('\0');
    if (nul != std::string::npos)
      w.class_name = both.substr(nul + 1, both.find('\0', nul + 1) - nul - 1);
    out.push_back(std::move(w));
  }
  return out;
}

void X11Display::RequestActivation(unsigned long id) {
  ::Window root = XDefaultRootWindow(display_);
  if (HasWindowManager()) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = id;
    e.xclient.message_type = Intern("_NET_ACTIVE_WINDOW");
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // the request comes from a pager, not the window's own program
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  } else {
    XRaiseWindow(display_, id);
    XSetInputFocus(display_, id, RevertToParent, CurrentTime);
  }
  XSync(display_, False);
}

bool X11Display::IsActive(unsigned long id) {
  ::Window root = XDefaultRootWindow(display_);
  if (HasWindowManager()) {
    auto active =
        ReadProperty<unsigned long>(display_, root, Intern("_NET_ACTIVE_WINDOW"), XA_WINDOW);
    if (!active.empty()) return active[0] == id;
  }
  // The focus may sit on a child of the window.
  ::Window focus = 0;
  int revert = 0;
  XGetInputFocus(display_, &focus, &revert);
  while (focus != 0 && focus != PointerRoot && focus != root) {
    if (focus == id) return true;
    ::Window parent = 0, top = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, focus, &top, &parent, &children, &count)) return false;
    if (children) XFree(children);
    focus = parent;
  }
  return false;
}

X11Display::KeyMap X11Display::Keyboard() {
  KeyMap map;
  XDisplayKeycodes(display_, &map.min_code, &map.max_code);
  int count = map.max_code - map.min_code + 1;
  if (count <= 0) return map;
  KeySym* syms = XGetKeyboardMapping(display_, KeyCode(map.min_code), count, &map.per_code);
  if (!syms) return KeyMap{};
  map.syms.assign(syms, syms + size_t(count) * size_t(map.per_code));
  XFree(syms);
  return map;
}

void X11Display::SetKeySym(int code, unsigned long sym) {
  KeySym both[2] = {sym, sym};
  XChangeKeyboardMapping(display_, code, 2, both, 1);
  XSync(display_, False);
}

void X11Display::Sync() {
  XSync(display_, False);
}

}  // namespace sorane

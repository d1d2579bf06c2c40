/* A window of the desktop tests' own: it shows itself with the title given as
 * its first argument (unless the second is "hidden") and writes every key it
 * receives to standard output, one line each: the keysym's name and the held
 * modifiers (S Shift, C Control, A Alt). It prints "ready" once shown and
 * ends when its standard input closes or after 60 seconds. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Display* d = XOpenDisplay(NULL);
  if (!d) return 1;
  Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 200, 100, 0, 0, 0xffffff);
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                  (const unsigned char*)argv[1], (int)strlen(argv[1]));
  XStoreName(d, w, argv[1]);
  XSelectInput(d, w, KeyPressMask | StructureNotifyMask);
  int hidden = argc > 2 && strcmp(argv[2], "hidden") == 0;
  if (!hidden) XMapWindow(d, w);
  XFlush(d);
  if (hidden) {
    printf("ready\n");
    fflush(stdout);
  }
  alarm(60);
  struct pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {0, POLLIN, 0}};
  for (;;) {
    while (XPending(d)) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == MapNotify) {
        printf("ready\n");
        fflush(stdout);
      } else if (e.type == MappingNotify) {
        XRefreshKeyboardMapping(&e.xmapping);
      } else if (e.type == KeyPress) {
        char text[16];
        KeySym sym = NoSymbol;
        XLookupString(&e.xkey, text, sizeof text, &sym, NULL);
        unsigned s = e.xkey.state;
        const char* name = XKeysymToString(sym);
        printf("%s %s%s%s\n", name ? name : "?", s & ShiftMask ? "S" : "",
               s & ControlMask ? "C" : "", s & Mod1Mask ? "A" : "");
        fflush(stdout);
      }
    }
    if (poll(fds, 2, -1) < 0) break;
    if (fds[1].revents) {
      char buf[64];
      if (read(0, buf, sizeof buf) <= 0) break;
    }
  }
  XCloseDisplay(d);
  return 0;
}

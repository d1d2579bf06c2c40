// Typing key steps into the X display's focused window through the XTest
// extension (libXtst, loaded with dlopen at first use).
#pragma once

#include <functional>
#include <vector>

#include "interop/desktop/key_string.h"

namespace sorane {

class X11Display;

// The keysym a virtual-key number of the key-name table stands for; 0 for none.
unsigned long KeysymOfVirtualKey(int vk);
// The keysym that types one CP932 character (1 or 2 bytes); 0 for none.
unsigned long KeysymOfCharacter(const std::string& sjis);

// Types `steps`. A key the keyboard does not have (a kanji, a kana, a named
// key missing from the layout) is typed on a spare key code that is given the
// character's keysym for the moment and cleared again once the target has had
// time to read it; `pump` is called meanwhile, so the run-time's own windows,
// which read their events only when it runs, read them in that time too.
// False when the display has no XTest.
bool TypeKeySteps(X11Display& display, const std::vector<KeyStep>& steps,
                  const std::function<void()>& pump);

}  // namespace sorane

// Key numbers as scripts see them in 押されたキー: the classic virtual-key
// numbering (13 Enter, 27 Esc, 65 A, 112 F1, …), so that scripts comparing key
// codes work unchanged; and the names of the held modifier keys and buttons.
#pragma once

#include <Qt>
#include <string>

namespace sorane {

// The virtual-key number of a Qt key (0 when it has none). Keys of the numeric
// keypad (KeypadModifier) get their own numbers.
int VirtualKeyOf(int qt_key, Qt::KeyboardModifiers modifiers);

// 押された特殊キー: "Shift", "Alt", "Ctrl", "Left", "Right", "Middle", "Double",
// one per line in that order, without a final line break (CP932).
std::string SpecialKeysText(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons,
                            bool double_click);

}  // namespace sorane

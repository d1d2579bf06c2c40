// Layout of printed text and the close request shared by the hosts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/host.h"

namespace sorane {

class Interpreter;
class Call;

// The text font from 文字書体, 文字サイズ and 文字色; ApplyTextFont hands it to
// the host before text output and the dialogs.
Host::TextFont CurrentTextFont(Interpreter& in);
void ApplyTextFont(Interpreter& in);
// Line advance of 表示: the height of "あ" in the text font times 1.2, truncated.
int PrintLineHeight(Host& host);

// Splits a 表示 text into lines: texts of at most 4096 bytes are tab-expanded
// (columns count bytes); longer ones are cut to 4096 bytes and not expanded.
// CR, LF, and any pair of them count as one line break.
std::vector<std::string> LayoutPrintText(std::string_view text, int tab_width);

// A coordinate argument: a list of values (a group "(x,y)" arrives without its
// parentheses) is taken as written; anything else is evaluated first.
std::string CoordinateText(Call& c, size_t k);

// The PDF written beside the script when no printer can be had.
std::string PrintFallbackName(Interpreter& in);

// Closing the host: runs the close handler set by 終了処理設定 first; returns
// false when the handler refused the close.
bool CloseRequest(Interpreter& in);

}  // namespace sorane

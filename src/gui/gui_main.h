// The windowed run: the host window, the interpreter and the Qt event loop.
#pragma once

#include <string>

#include "runtime/startup.h"

class QImage;

namespace sorane {

// Runs the script in the host window; returns the process exit status.
//
// Where nobody can answer a dialog — the offscreen platform — a dialog that
// has no scripted answer is cancelled at once, and the error dialog, there and
// with --screenshot, becomes the error log on standard error: the run stops
// with exit status 1, as in the console. The window system's warnings are
// silent unless --verbose is given.
int RunInWindow(const CommandLine& command_line);

// Writes a picture of the window as a PNG file (an OS path); says why on
// standard error when it cannot.
bool SaveScreenshot(const QImage& picture, const std::string& path);

}  // namespace sorane

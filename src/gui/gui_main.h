// The windowed run: the host window, the interpreter and the Qt event loop.
#pragma once

#include <string>
#include <vector>

namespace sorane {

// A window is used when a display is there (DISPLAY, WAYLAND_DISPLAY, or a Qt
// platform chosen with QT_QPA_PLATFORM, such as offscreen) and --console is not
// given.
bool WantsWindow(const std::vector<std::string>& args);
// Runs the script in the host window; returns the process exit status.
int RunInWindow(std::vector<std::string> args);

}  // namespace sorane

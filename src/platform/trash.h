// The desktop trash (the freedesktop.org trash layout): deleted files go to
// TRASH/files/NAME with a record TRASH/info/NAME.trashinfo that holds the
// original path and the time of deletion, so file managers can restore them.
#pragma once

#include <ctime>
#include <string>

namespace sorane {

// Moves a file or folder (UTF-8 OS path) into the trash folder `trash_root`
// (the home trash, "$XDG_DATA_HOME/Trash/", when empty). A name already in the
// trash gets a number appended. Across file systems the item is copied and
// then removed. False with errno set when nothing was moved.
bool MoveToTrash(const std::string& os_path, const std::string& trash_root = {});

// The text of a .trashinfo record.
std::string TrashInfoText(const std::string& absolute_path, std::time_t when);

// Percent-encoding of a path for the record ("/" and unreserved bytes stay).
std::string EscapeTrashPath(const std::string& path);

}  // namespace sorane

// Desktop integration through freedesktop.org files: shortcuts are ".desktop"
// launcher files; a file-type association is a MIME type for the extension (the
// one the shared MIME database already knows, else our own
// "application/x-sorane-EXT" described in $XDG_DATA_HOME/mime/packages/), a
// hidden launcher $XDG_DATA_HOME/applications/sorane-assoc-EXT.desktop, and the
// default-application entry in $XDG_CONFIG_HOME/mimeapps.list.
// All paths and texts here are UTF-8. Files are written safely (safe_write.h).
#pragma once

#include <string>

namespace sorane {

// The text of a launcher for `target` (absolute path): an application entry
// for an executable file, else a link entry that opens the file or folder.
std::string ShortcutEntryText(const std::string& target, bool executable);
// Writes the launcher file `link` for `target` (absolute path).
bool WriteShortcut(const std::string& link, const std::string& target);

// One argument of an Exec line, quoted and escaped for a desktop file.
std::string QuoteExecArgument(const std::string& arg);

// The MIME type the shared MIME database gives to "*.EXT" (ext without the
// point), "" when none. Looks in $XDG_DATA_HOME and $XDG_DATA_DIRS.
std::string MimeTypeForExtension(const std::string& ext);
// The MIME type we define for an extension the database does not know.
std::string OwnMimeType(const std::string& ext);
// True when the extension already has a type (the database's or ours).
bool ExtensionIsAssociated(const std::string& ext);
// Associates the extension with the application (absolute path); `icon` may be
// empty. True when every file was written.
bool AssociateExtension(const std::string& ext, const std::string& application,
                        const std::string& description, const std::string& icon);
// Removes what AssociateExtension wrote; true when there was something.
bool RemoveExtensionAssociation(const std::string& ext);

// The full path of a program named without a folder, searched on PATH; a name
// with a "/" is returned when it is executable. "" when not found.
std::string FindProgram(const std::string& name);

// Opens a file, folder or address with the desktop's handler (xdg-open),
// without waiting for it. False when the opener could not be started.
bool OpenWithDesktop(const std::string& what);

// mimeapps.list editing (exposed for tests): `text` with `mime` set to
// `desktop` in [Default Applications] (an empty `desktop` removes the entry).
std::string SetDefaultApplication(const std::string& text, const std::string& mime,
                                  const std::string& desktop);

}  // namespace sorane

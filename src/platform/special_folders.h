// Special folders and the operating-system name, as the path variables of the
// vocabulary publish them. Every function returns a native (UTF-8) path that
// ends with "/"; the vocabulary converts the texts to CP932.
//
// Where the folders come from:
//   desktop, documents   the XDG user directories ($XDG_CONFIG_HOME/user-dirs.dirs),
//                        else $HOME/Desktop/ and $HOME/Documents/
//   trash                $XDG_DATA_HOME/Trash/ (the home trash of the desktop)
//   start menu           $XDG_DATA_HOME/applications/ (the user's launchers)
//   startup              $XDG_CONFIG_HOME/autostart/
//   send-to, favourites  SendTo/ and Favorites/ inside the run-time's data folder;
//                        the desktop has no common folder for either
//   run-time data        $XDG_DATA_HOME/sorane/ (WINDOWSのパス)
//   system libraries     /usr/lib/ (SYSTEMのパス)
//   temporary files      $TMPDIR, else /tmp/
// $XDG_DATA_HOME and $XDG_CONFIG_HOME count only when set to an absolute path;
// otherwise $HOME/.local/share and $HOME/.config are used. Folders are reported,
// never created.
#pragma once

#include <string>
#include <string_view>

namespace sorane {

struct SpecialFolders {
  std::string Desktop;
  std::string Trash;
  std::string Documents;
  std::string StartMenu;
  std::string Startup;
  std::string SendTo;
  std::string RuntimeData;
  std::string System;
  std::string Temp;
  std::string Favorites;
};

// Reads the environment and the user-dirs file once per call.
SpecialFolders GetSpecialFolders();

// $HOME, else the password database entry, else "/".
std::string HomeFolder();
std::string DataHome();
std::string ConfigHome();
std::string TempFolder();

// The value of XDG_<key>_DIR (key such as "DESKTOP") in the text of a
// user-dirs.dirs file, with "$HOME" expanded to `home`; empty when the key is
// missing or its value is neither "$HOME..." nor absolute. The last assignment
// wins, as when the file is sourced by a shell.
std::string ParseUserDirs(std::string_view text, std::string_view key, std::string_view home);

// PRETTY_NAME of /etc/os-release (or /usr/lib/os-release), else "Linux".
std::string OsName();
// PRETTY_NAME of an os-release text (quotes and backslash escapes removed);
// empty when absent.
std::string ParsePrettyName(std::string_view os_release);

// `path` with a trailing "/" (an empty path stays empty).
std::string WithTrailingSlash(std::string path);

}  // namespace sorane

#pragma once
// Starting the program when the user logs in, through an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/quillbox.desktop), and the user's configuration
// folder that holds it.

#include <string>
#include <string_view>

#include "common/Result.h"

namespace quillbox::platform {

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config (the
// passwd entry's home when HOME is unset); with a trailing '/'.
std::string configHome();

// Creates folder and any missing parents, each new one with mode 0700 (only
// the user may look into configuration folders). Existing folders are kept.
Status createPrivateFolders(const std::string& folder);

// Where the autostart entry lives: configHome() + "autostart/quillbox.desktop".
std::string autostartEntryPath();

// One argument of a desktop entry's Exec line: always in double quotes, with
// the quoting and string escapes that desktop entries require.
std::string quoteExecArgument(std::string_view argument);

// The text of the entry that starts executable with the single argument "auto".
std::string autostartEntryText(const std::string& executable);

// Writes the entry atomically, creating the folders it needs.
Status enableAutostart(const std::string& executable);

// Removes the entry; an entry that is not there counts as removed.
Status disableAutostart();

}  // namespace quillbox::platform

#pragma once
// Where the program and its data live. ProgramFolder is the folder of the
// executable; QUILLBOX_HOME replaces it. When that folder cannot be written
// (a system-wide install) the data folders go under $XDG_DATA_HOME/quillbox/.

#include <string>

namespace quillbox::platform {

// The program's folder with a trailing '/'.
std::string programFolder();

// The folder of the running executable with a trailing '/', whatever
// QUILLBOX_HOME says: where the parts installed with the program (its language
// modules) are.
std::string executableFolder();

// The folder that holds RSS/, FB2/, BookLibrary/, Books/ and Tmp/, with a
// trailing '/': the program folder when it is writable, else
// $XDG_DATA_HOME/quillbox/ (default ~/.local/share/quillbox/).
std::string dataFolder();

}  // namespace quillbox::platform

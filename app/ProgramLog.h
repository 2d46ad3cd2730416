#pragma once
// The program's log: start-up, updates, downloads, copies, deletions and their
// results, in a rotating file of the user's state folder
// ($XDG_STATE_HOME/quillbox/quillbox.log, default ~/.local/state/quillbox/),
// so that a user can report what went wrong. Nothing secret is written:
// callers pass no passwords, proxy credentials, account keys or logins.
// Until openProgramLog succeeds every call is a no-op (tests, --help).

#include <optional>
#include <string>
#include <string_view>

namespace quillbox::app {

enum class LogLevel { Trace, Debug, Info, Warn, Error, Off };

// "trace", "debug", "info", "warn", "error", "off"; nullopt for anything else.
std::optional<LogLevel> logLevelNamed(std::string_view name);

// The log file: folder + "quillbox.log", rotated at 1 MiB with three old files
// kept. folder empty: the state folder. Returns the file's path, or an error
// text when the folder or file cannot be made (the program then runs without).
struct LogOpened {
    bool ok = false;
    std::string text;  // the path, or what went wrong
};
LogOpened openProgramLog(LogLevel level, const std::string& folder = {});
void closeProgramLog();

void logInfo(std::string_view text);
void logWarning(std::string_view text);
void logError(std::string_view text);
void logDebug(std::string_view text);

// The user's state folder for the program, with a trailing '/'.
std::string logFolder();

}  // namespace quillbox::app

#include "app/ProgramLog.h"

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

namespace quillbox::app {
namespace {

constexpr std::size_t kLogBytes = 1024 * 1024;
constexpr std::size_t kOldLogs = 3;

std::shared_ptr<spdlog::logger>& programLogger() {
    static std::shared_ptr<spdlog::logger> logger;
    return logger;
}

void write(spdlog::level::level_enum level, std::string_view text) {
    if (const auto& logger = programLogger()) {
        logger->log(level, "{}", text);
    }
}

spdlog::level::level_enum spdlogLevel(LogLevel level) {
    switch (level) {
        case LogLevel::Trace:
            return spdlog::level::trace;
        case LogLevel::Debug:
            return spdlog::level::debug;
        case LogLevel::Info:
            return spdlog::level::info;
        case LogLevel::Warn:
            return spdlog::level::warn;
        case LogLevel::Error:
            return spdlog::level::err;
        case LogLevel::Off:
            break;
    }
    return spdlog::level::off;
}

}  // namespace

std::optional<LogLevel> logLevelNamed(std::string_view name) {
    constexpr std::pair<std::string_view, LogLevel> kNames[] = {
        {"trace", LogLevel::Trace}, {"debug", LogLevel::Debug}, {"info", LogLevel::Info},
        {"warn", LogLevel::Warn},   {"error", LogLevel::Error}, {"off", LogLevel::Off}};
    for (const auto& [text, level] : kNames) {
        if (name == text) {
            return level;
        }
    }
    return std::nullopt;
}

std::string logFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && *state == '/') {
        return std::string(state) + "/quillbox/";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.local/state/quillbox/";
}

LogOpened openProgramLog(LogLevel level, const std::string& folder) {
    closeProgramLog();
    if (level == LogLevel::Off) {
        return {true, "off"};
    }
    const std::string where = folder.empty() ? logFolder() : folder;
    std::error_code error;
    std::filesystem::create_directories(where, error);
    const std::string path = where + "quillbox.log";
    try {
        auto sink =
            std::make_shared<spdlog::sinks::rotating_file_sink_mt>(path, kLogBytes, kOldLogs);
        auto logger = std::make_shared<spdlog::logger>("quillbox", std::move(sink));
        logger->set_level(spdlogLevel(level));
        logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %-5l %v");
        logger->flush_on(spdlog::level::trace);
        programLogger() = std::move(logger);
    } catch (const spdlog::spdlog_ex& failure) {
        return {false, path + ": " + failure.what()};
    }
    return {true, path};
}

void closeProgramLog() {
    programLogger().reset();
}

void logInfo(std::string_view text) {
    write(spdlog::level::info, text);
}

void logWarning(std::string_view text) {
    write(spdlog::level::warn, text);
}

void logError(std::string_view text) {
    write(spdlog::level::err, text);
}

void logDebug(std::string_view text) {
    write(spdlog::level::debug, text);
}

}  // namespace quillbox::app

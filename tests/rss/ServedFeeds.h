#pragma once
// A store stand-in serving a temporary folder of feeds, and the program-side
// folders (RSS/, FB2/) the library works in.

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/RSSTypes.h"
#include "common/SystemTypes.h"
#include "tests/support/StoreServer.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {

class ServedFeeds {
  public:
    // Serves folder (default: a fresh temporary one) with extra server arguments.
    explicit ServedFeeds(const std::string& folder = {}, std::vector<std::string> extra = {});

    bool running() const { return m_server->running(); }
    const std::string& error() const { return m_server->error(); }
    StoreServer& server() { return *m_server; }
    std::string url(const std::string& path) const { return m_server->url(path); }

    // Writes a file into the served folder.
    void put(const std::string& name, const std::string& bytes);
    // Replaces a file's bytes but keeps its size and times, so its ETag stays.
    void replaceKeepingTag(const std::string& name, const std::string& bytes);
    // Heads of the requests the server received so far.
    std::string requestLog();
    // Clears the request log, the rules and the most connections seen.
    void resetLog();
    // Client connections open now ("open") or the most open at once ("most").
    int connections(const std::string& figure);

    // Folders as the program passes them: with '\' separators.
    std::string rssFolderArgument() const { return m_program.path() + "RSS\\"; }
    std::string fb2FolderArgument() const { return m_program.path() + "FB2\\"; }
    std::string rssFolder() const { return m_program.path() + "RSS/"; }
    std::string fb2Folder() const { return m_program.path() + "FB2/"; }

    // LoadRSSNewsFromURL with the program's arguments.
    std::uint8_t fetch(TRSSItem& entry, bool pictures = false);

  private:
    TempDir m_program;
    std::unique_ptr<TempDir> m_ownFolder;
    std::string m_folder;
    std::unique_ptr<StoreServer> m_server;
};

// The FB2 files in a folder.
std::vector<std::string> filesIn(const std::string& folder);

}  // namespace quillbox::test

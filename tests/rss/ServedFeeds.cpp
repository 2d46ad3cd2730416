#include "tests/rss/ServedFeeds.h"

#include <dirent.h>
#include <fcntl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "contracts/RSS.h"
#include "platform/Http.h"
#include "tests/rss/RssTestSupport.h"

namespace quillbox::test {

ServedFeeds::ServedFeeds(const std::string& folder, std::vector<std::string> extra) {
    if (folder.empty()) {
        m_ownFolder = std::make_unique<TempDir>();
        m_folder = m_ownFolder->path();
    } else {
        m_folder = folder;
    }
    std::vector<std::string> arguments = {"--static", m_folder};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    m_server = std::make_unique<StoreServer>(arguments);
}

void ServedFeeds::put(const std::string& name, const std::string& bytes) {
    writeFile(m_folder + "/" + name, bytes);
}

void ServedFeeds::replaceKeepingTag(const std::string& name, const std::string& bytes) {
    const std::string path = m_folder + "/" + name;
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_EQ(static_cast<off_t>(bytes.size()), before.st_size);
    writeFile(path, bytes);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::string ServedFeeds::requestLog() {
    platform::HttpRequest request;
    request.url = url("_control/requests");
    Result<platform::HttpResponse> response = platform::httpGet(request, {});
    return response.ok() ? response.value().body : std::string();
}

int ServedFeeds::connections(const std::string& figure) {
    platform::HttpRequest request;
    request.url = url("_control/connections");
    Result<platform::HttpResponse> response = platform::httpGet(request, {});
    if (!response.ok()) {
        return -1;
    }
    const std::string& text = response.value().body;
    const std::size_t at = text.find(figure + " ");
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + figure.size() + 1);
}

void ServedFeeds::resetLog() {
    platform::HttpRequest request;
    request.url = url("_control/reset");
    (void)platform::httpGet(request, {});
}

std::uint8_t ServedFeeds::fetch(TRSSItem& entry, bool pictures) {
    TUserData data = userData(pictures);
    const std::string folder = rssFolderArgument();
    return LoadRSSNewsFromURL(&entry, folder.c_str(), &data, nullptr, nullptr, 0);
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quillbox::test

#include "rss/ImageFetcher.h"

#include "rss/Files.h"
#include "rss/Urls.h"

namespace quillbox::rss {
namespace {

std::string extensionFor(const std::string& type) {
    return type == "image/png" ? ".png" : ".jpg";
}

// A picture fetched earlier, when its file is still there and still sound.
bool storedPicture(const std::string& base, const ImageLimits& limits, StoredImage& image) {
    for (const char* extension : {".jpg", ".png"}) {
        const std::string file = base + extension;
        Result<std::string> bytes = readWholeFile(file, limits.maxBytes);
        if (bytes.ok()) {
            const std::string type = pictureTypeOf(bytes.value());
            if (!type.empty() && extensionFor(type) == extension) {
                image.file = file;
                image.contentType = type;
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::string pictureTypeOf(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xFF\xD8\xFF") {
        return "image/jpeg";
    }
    if (bytes.size() >= 8 && bytes.substr(0, 8) == "\x89PNG\r\n\x1A\n") {
        return "image/png";
    }
    return {};
}

std::vector<StoredImage> fetchImages(const std::vector<std::string>& urls,
                                     const std::string& folder, const NetworkOptions& network,
                                     const ImageLimits& limits, std::size_t& budget) {
    std::vector<StoredImage> images;
    bool folderReady = false;
    for (const std::string& url : urls) {
        if (images.size() >= limits.perItem || budget == 0) {
            break;
        }
        if (!isHttpUrl(url)) {
            continue;
        }
        StoredImage image;
        image.sourceUrl = url;
        const std::string base = joinPath(folder, hashHex(url));
        if (storedPicture(base, limits, image)) {
            images.push_back(std::move(image));
            continue;
        }
        --budget;
        platform::HttpRequest request;
        request.url = url;
        request.proxy = network.proxy;
        request.userAgent = network.userAgent;
        request.headers = {"Accept: image/jpeg, image/png;q=0.9, */*;q=0.1"};
        request.connectTimeout = network.connectTimeout;
        request.stallTimeout = network.stallTimeout;
        request.maxRedirects = network.maxRedirects;
        request.maxBodyBytes = limits.maxBytes;
        Result<platform::HttpResponse> response = platform::httpGet(request, network.pump);
        if (!response.ok() || response.value().status < 200 || response.value().status > 299) {
            continue;
        }
        const std::string& body = response.value().body;
        // The bytes decide, whatever the server called them.
        image.contentType = pictureTypeOf(body);
        if (image.contentType.empty() || body.size() > limits.maxBytes) {
            continue;
        }
        if (!folderReady) {
            folderReady = makeFolders(folder);
        }
        image.file = base + extensionFor(image.contentType);
        if (!folderReady || !writeFileAtomically(image.file, body).ok()) {
            continue;
        }
        images.push_back(std::move(image));
    }
    return images;
}

}  // namespace quillbox::rss

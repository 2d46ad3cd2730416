#pragma once
// Pictures of news items: fetched once, checked by their bytes (JPEG or PNG
// only), size-capped, kept under RSS/images/<feed>/.

#include <cstdint>
#include <string>
#include <vector>

#include "rss/NetworkOptions.h"
#include "rss/NewsTypes.h"

namespace quillbox::rss {

struct ImageLimits {
    std::uint64_t maxBytes = 1u << 20;  // per picture
    std::size_t perItem = 20;
};

// "image/jpeg" or "image/png" for bytes that start like one; empty otherwise.
std::string pictureTypeOf(std::string_view bytes);

// Fetches the pictures at urls (absolute addresses) into folder, at most
// limits.perItem of them and never more than budget in all (it is lowered by
// each attempt). A picture already in the folder is not fetched again. A
// picture that fails is left out; nothing here stops the caller.
std::vector<StoredImage> fetchImages(const std::vector<std::string>& urls,
                                     const std::string& folder, const NetworkOptions& network,
                                     const ImageLimits& limits, std::size_t& budget);

}  // namespace quillbox::rss

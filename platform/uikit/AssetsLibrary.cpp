#include "platform/uikit/AssetsLibrary.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/graphics/ImageSource.h"

namespace ui {

RT_DEFINE_CLASS(AssetsLibrary, ns::Object, "ALAssetsLibrary")

namespace {

constexpr const char* kErrorDomain = "ALAssetsLibraryErrorDomain";
constexpr int64_t kWriteFailedError = -3300;
constexpr int64_t kWriteInvalidDataError = -3302;

std::string extensionOf(const std::string& type) {
    if (type == cg::ImageTypePNG) return "PNG";
    if (type == cg::ImageTypeJPEG) return "JPG";
    if (type == cg::ImageTypeGIF) return "GIF";
    if (type == cg::ImageTypeBMP) return "BMP";
    return {};
}

// Writes are numbered across the process, one at a time.
std::mutex& albumMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

std::string AssetsLibrary::savedPhotosAlbumPath() { return ns::homeDirectory() + "/Media/DCIM/100APPLE"; }

void AssetsLibrary::writeImageDataToSavedPhotosAlbum(const ns::Ref<ns::Data>& data, const ns::Ref<ns::Dictionary>&,
                                                     WriteCompletion completion) {
    ns::Ref<ns::URL> assetURL;
    ns::Ref<ns::Error> error;
    auto source = cg::ImageSource::createWithData(data);
    std::string extension = source && source->count() > 0 ? extensionOf(source->type()) : std::string();
    if (extension.empty()) {
        error = ns::Error::make(kErrorDomain, kWriteInvalidDataError);
    } else {
        std::lock_guard lock(albumMutex());
        std::error_code ec;
        std::filesystem::create_directories(savedPhotosAlbumPath(), ec);
        // The next number after the highest in the album, whatever its type.
        int number = 1;
        for (const auto& entry : std::filesystem::directory_iterator(savedPhotosAlbumPath(), ec)) {
            int taken = 0;
            if (std::sscanf(entry.path().filename().c_str(), "IMG_%d.", &taken) == 1) number = std::max(number, taken + 1);
        }
        char name[32];
        std::snprintf(name, sizeof name, "/IMG_%04d.%s", number, extension.c_str());
        std::string path = savedPhotosAlbumPath() + name;
        if (data->writeToFile(path, true)) {
            assetURL = ns::URL::make("assets-library://asset/asset." + extension + "?id=" + std::to_string(number) +
                                     "&ext=" + extension);
        } else {
            error = ns::Error::make(kErrorDomain, kWriteFailedError);
        }
    }
    if (!completion) return;
    dispatch::async(dispatch::mainQueue(), [completion, assetURL, error] { completion(assetURL, error); });
}

}  // namespace ui

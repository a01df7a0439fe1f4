#pragma once
// The saved-photos album: image data written into the home folder's
// "Media/DCIM/100APPLE" as IMG_0001.PNG, IMG_0002.JPG... Each write answers
// on the main queue with the asset's URL
// ("assets-library://asset/asset.PNG?id=<n>&ext=PNG"), or with an error in
// "ALAssetsLibraryErrorDomain": -3302 for data that is no decodable image,
// -3300 when the file cannot be written.

#include <functional>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Class.h"

namespace ui {

class AssetsLibrary : public ns::Object {
    RT_DECLARE_CLASS(AssetsLibrary)
public:
    using WriteCompletion = std::function<void(const ns::Ref<ns::URL>& assetURL, const ns::Ref<ns::Error>& error)>;

    // Metadata is accepted and not written (no EXIF writer here).
    void writeImageDataToSavedPhotosAlbum(const ns::Ref<ns::Data>& data, const ns::Ref<ns::Dictionary>& metadata,
                                          WriteCompletion completion);

    static std::string savedPhotosAlbumPath();
};

}  // namespace ui

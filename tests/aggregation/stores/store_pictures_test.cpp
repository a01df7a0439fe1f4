// Every picture the store views and the facade ask for is in the app's
// "KVTRLight.bundle" and decodes.

#include <gtest/gtest.h>

#include <string>

#include "platform/uikit/Image.h"

namespace {

TEST(StorePictures, EveryNamedPictureIsInTheBundleAndDecodes) {
    const std::string bundle = std::string(GAMEHOST_RESOURCES_DIR) + "/KVTRLight.bundle/";
    for (const char* name :
         {"close", "desc", "getbtn", "totalmoneybg", "gmbtn", "gmbtnsel", "vipgiftbtn", "vipgiftbtnsel", "xianshibtn",
          "xianshibtnsel", "128btn", "128btnsel", "albuy", "timestorebg", "timestorebgver", "arrow", "fixbg", "tobuy",
          "giftget", "plusimg", "fixbtnbg", "luckygifttw", "luckygifttwver", "luckygifttwbtn", "luckygiftverbtn"}) {
        auto image = ui::Image::imageWithContentsOfFile(bundle + name + ".png");
        ASSERT_TRUE(image) << name;
        EXPECT_GT(image->size().width, 0) << name;
    }
}

}  // namespace

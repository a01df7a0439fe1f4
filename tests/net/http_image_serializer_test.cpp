// The image response serializer: decoding and inflation by type and size,
// animated GIFs, orientation, the compound serializer before it, copying
// and archiving.

#include <gtest/gtest.h>

#include "net/SDPCompoundResponseSerializer.h"
#include "net/SDPImageResponseSerializer.h"
#include "net/SDPJSONResponseSerializer.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/GifFiles.h"
#include "platform/graphics/ImageDestination.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/Png.h"
#include "platform/uikit/DecodedPixelAccount.h"
#include "tests/platform/graphics/hostile_still_files.h"

namespace {

ns::Ref<ns::HTTPURLResponse> response(const char* contentType) {
    auto headers = ns::MutableDictionary::make();
    headers->setObjectForKey(ns::str(contentType), "Content-Type");
    return ns::HTTPURLResponse::make(ns::URL::make("http://example.com/i"), 200, "HTTP/1.1", headers);
}

ns::Ref<ns::Data> png(int w, int h) {
    cg::Bitmap bitmap(w, h, cg::PixelFormat::ARGB32Premultiplied);
    bitmap.setPixel(0, 0, cg::premultiplied(255, 200, 10, 10));
    return ns::Data::make(cg::encodePng(bitmap));
}

ns::Ref<SDPImageResponseSerializer> serializer(bool inflate) {
    auto s = SDPImageResponseSerializer::serializer();
    s->setImageScale(2);
    s->setAutomaticallyInflatesResponseImage(inflate);
    return s;
}


TEST(HTTPImageSerializer, DefaultsAndAcceptedTypes) {
    auto s = SDPImageResponseSerializer::serializer();
    EXPECT_TRUE(s->automaticallyInflatesResponseImage());
    EXPECT_EQ(s->acceptableContentTypes()->count(), 10u);
    for (const char* type : {"image/tiff", "image/jpeg", "image/gif", "image/png", "image/ico", "image/x-icon",
                             "image/bmp", "image/x-bmp", "image/x-xbitmap", "image/x-win-bitmap"}) {
        EXPECT_TRUE(s->acceptableContentTypes()->containsObject(ns::str(type))) << type;
    }
    ns::Ref<ns::Error> error;
    EXPECT_FALSE(s->responseObjectForResponse(response("text/html"), png(2, 2), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ns::URLErrorCannotDecodeContentData);
}

TEST(HTTPImageSerializer, SmallImagesAreInflatedLargeOnesOnlyDecoded) {
    ns::Ref<ns::Error> error;
    auto inflated = ns::cast<ui::Image>(serializer(true)->responseObjectForResponse(response("image/png"), png(16, 8), &error));
    ASSERT_TRUE(inflated);
    EXPECT_FALSE(error);
    EXPECT_EQ(inflated->scale(), 2);
    EXPECT_EQ(inflated->size().width, 8);
    EXPECT_EQ(inflated->cgImage()->bitmapInfo(), cg::BitmapInfo::PremultipliedFirst32Little) << "drawn";
    EXPECT_EQ(inflated->cgImage()->bitmap().pixel(0, 0), cg::premultiplied(255, 200, 10, 10));
    // The inflated copy is charged for as long as it is held, as the
    // picture it was drawn from was.
    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
    const uint64_t held = account.pixelsHeld();
    EXPECT_TRUE(inflated->cgImage()->charge());
    inflated = nullptr;
    EXPECT_EQ(account.pixelsHeld(), held - 128);

    auto plain = ns::cast<ui::Image>(serializer(false)->responseObjectForResponse(response("image/png"), png(16, 8), &error));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->scale(), 2);
    EXPECT_EQ(plain->cgImage()->bitmapInfo(), uint32_t(cg::ImageAlphaInfo::Last)) << "as decoded";

    auto large = ns::cast<ui::Image>(serializer(true)->responseObjectForResponse(response("image/png"), png(2048, 2048), &error));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->size().width, 1024);
    EXPECT_EQ(large->cgImage()->bitmapInfo(), uint32_t(cg::ImageAlphaInfo::Last)) << "decoded, not inflated";

    // Another decodable type under a type without its own decoder is still
    // drawn; an opaque picture keeps no alpha.
    cg::Bitmap opaque(4, 4, cg::PixelFormat::RGB24);
    auto destination = cg::ImageDestination::createWithData(cg::ImageTypeBMP, 1);
    destination->addImage(cg::Image::make(opaque));
    ASSERT_TRUE(destination->finalize());
    auto bmp = ns::cast<ui::Image>(serializer(true)->responseObjectForResponse(
        response("image/bmp"), ns::Data::make(destination->data()), &error));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->cgImage()->bitmapInfo(), cg::BitmapInfo::NoneSkipFirst32Little) << "drawn, without alpha";
}

TEST(HTTPImageSerializer, APictureTooLargeToInflateIsDecodedOnce) {
    // A progressive JPEG past the scan limit says so each time it is
    // decoded.
    auto data = ns::Data::make(stilltest::progressiveJpegWithScans(1032, 150));
    for (bool inflate : {true, false}) {
        SCOPED_TRACE(inflate ? "inflating" : "plain");
        ns::LogCapture log;
        ns::Ref<ns::Error> error;
        auto image = ns::cast<ui::Image>(serializer(inflate)->responseObjectForResponse(response("image/jpeg"), data, &error));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size().width, 516);
        size_t decodes = 0;
        for (const std::string& line : log.lines()) decodes += line.find("more than 100 scans") != std::string::npos;
        EXPECT_EQ(decodes, 1u);
    }
}

TEST(HTTPImageSerializer, BodiesThatAreNoImageGiveNothingWithoutAnError) {
    for (bool inflate : {true, false}) {
        ns::Ref<ns::Error> error;
        EXPECT_FALSE(serializer(inflate)->responseObjectForResponse(response("image/png"), ns::Data::withBytes("nope"), &error));
        EXPECT_FALSE(error);
        EXPECT_FALSE(serializer(inflate)->responseObjectForResponse(response("image/png"), ns::Data::make(), &error));
        // A JPEG type over PNG bytes: the JPEG decoder gives nothing, the
        // plain decode still reads the PNG.
        EXPECT_TRUE(serializer(inflate)->responseObjectForResponse(response("image/jpeg"), png(3, 3), &error));
    }
}

TEST(HTTPImageSerializer, AnimatedGifKeepsItsFrames) {
    const auto file = testing::solidGif({10, 10, 10}, 3, 3, std::nullopt);
    for (bool inflate : {true, false}) {
        auto image = ns::cast<ui::Image>(serializer(inflate)->responseObjectForResponse(
            response("image/gif"), ns::Data::make(file), nullptr));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->images().size(), 3u);
        EXPECT_NEAR(image->duration(), 0.3, 1e-9);
    }
}

TEST(HTTPImageSerializer, TiffAndIcoBodiesBecomeImages) {
    cg::Bitmap picture(6, 5, cg::PixelFormat::ARGB32Premultiplied);
    picture.setPixel(5, 4, cg::premultiplied(128, 0, 200, 0));
    for (const char* type : {cg::ImageTypeTIFF, cg::ImageTypeICO}) {
        auto destination = cg::ImageDestination::createWithData(type, 1);
        destination->addImage(cg::Image::make(picture));
        ASSERT_TRUE(destination->finalize());
        auto body = ns::Data::make(destination->data());
        const char* mime = type == cg::ImageTypeTIFF ? "image/tiff" : "image/x-icon";
        for (bool inflate : {true, false}) {
            SCOPED_TRACE(testing::Message() << mime << (inflate ? " inflated" : " plain"));
            ns::Ref<ns::Error> error;
            auto image = ns::cast<ui::Image>(serializer(inflate)->responseObjectForResponse(response(mime), body, &error));
            ASSERT_TRUE(image);
            EXPECT_FALSE(error);
            EXPECT_EQ(image->scale(), 2);
            EXPECT_EQ(image->size().width, 3);
            EXPECT_EQ(image->cgImage()->bitmap().pixel(5, 4), cg::premultiplied(128, 0, 200, 0));
        }
    }
}

TEST(HTTPImageSerializer, CompoundOfJsonThenImageGivesTheImageWithoutTheJsonError) {
    auto compound = SDPCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        ns::Array::make({SDPJSONResponseSerializer::serializer(), serializer(true)}));
    ns::Ref<ns::Error> error;
    auto image = ns::cast<ui::Image>(compound->responseObjectForResponse(response("image/png"), png(4, 4), &error));
    ASSERT_TRUE(image);
    EXPECT_FALSE(error) << "no -1016 from the JSON serializer";
}

TEST(HTTPImageSerializer, CopiesAndArchivesKeepBothOptions) {
    auto s = serializer(false);
    s->setImageScale(3);
    auto copy = ns::cast<SDPImageResponseSerializer>(s->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->imageScale(), 3);
    EXPECT_FALSE(copy->automaticallyInflatesResponseImage());
    ns::Ref<ns::Error> error;
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(s, true, &error);
    ASSERT_TRUE(data);
    auto back = ns::KeyedUnarchiver::unarchivedObjectOfClass<SDPImageResponseSerializer>(data, &error);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->imageScale(), 3);
    EXPECT_FALSE(back->automaticallyInflatesResponseImage());
    EXPECT_EQ(back->acceptableContentTypes()->count(), 10u);
}

}  // namespace

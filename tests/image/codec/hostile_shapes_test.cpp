// Every hostile shape read through the keeping readers above the image
// source: the codec's own image, which keeps every picture of a file and a
// copy of a still one decoded for display, and the image response
// serializer, inflating or not. None takes the process past 900 MB.

#include <gtest/gtest.h>

#include <string>
#include <ostream>
#include <string_view>

#include "image/codec/TVImage.h"
#include "net/SDPImageResponseSerializer.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/testing/PeakBound.h"
#include "tests/platform/graphics/hostile_images.h"

namespace hostile {
void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.name; }
}  // namespace hostile

namespace {

constexpr uint64_t ProcessBound = 900'000'000;

// The type a server would send a file of the extension as, among those the
// serializer accepts; nothing for the formats it does not.
const char* mediaType(std::string_view extension) {
    if (extension == "png" || extension == "apng") return "image/png";
    if (extension == "jpg") return "image/jpeg";
    if (extension == "gif") return "image/gif";
    if (extension == "tif") return "image/tiff";
    if (extension == "ico" || extension == "cur") return "image/x-icon";
    if (extension == "bmp") return "image/bmp";
    return nullptr;
}

class HostileShapeThroughTheKeepingReadersTest : public testing::TestWithParam<hostile::Shape> {
protected:
    // Runs `read` from a peak started afresh, the heap's free pages given
    // back first, and bounds the process's peak.
    template <class Read>
    void expectWithinTheBound(const char* reader, Read read) {
        ASSERT_TRUE(testing::peakFromHere().started());
        read();
        testing::expectProcessPeakUnder(ProcessBound, std::string(GetParam().name) + " through " + reader);
    }
};

TEST_P(HostileShapeThroughTheKeepingReadersTest, KeepTheProcessUnderItsBound) {
    const auto data = ns::Data::make(GetParam().make());
    expectWithinTheBound("the codec's image", [&] { (void)TVImage::imageWithData(data); });
    const char* type = mediaType(GetParam().extension);
    if (!type) return;
    auto headers = ns::MutableDictionary::make();
    headers->setObjectForKey(ns::str(type), "Content-Type");
    auto response = ns::HTTPURLResponse::make(ns::URL::make("http://example.com/i"), 200, "HTTP/1.1", headers);
    for (bool inflate : {true, false}) {
        auto serializer = SDPImageResponseSerializer::serializer();
        serializer->setAutomaticallyInflatesResponseImage(inflate);
        expectWithinTheBound(inflate ? "the inflating serializer" : "the serializer", [&] {
            ns::Ref<ns::Error> error;
            (void)serializer->responseObjectForResponse(response, data, &error);
        });
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, HostileShapeThroughTheKeepingReadersTest, testing::ValuesIn(hostile::shapes()),
                         [](const testing::TestParamInfo<hostile::Shape>& info) { return std::string(info.param.name); });

}  // namespace

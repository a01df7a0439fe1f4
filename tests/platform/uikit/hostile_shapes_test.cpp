// Files of every hostile shape in every format read, read through the
// image source a picture at a time (as a player asks) and as an image of
// every picture: neither costs more memory than one file's budget, nor
// tries more pictures than that budget admits, nor does more work in the
// codecs (directories walked, library headers read, bytes inflated, scans
// over blocks, strips checked) than the file's size and the pixels its
// budget admitted account for.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "platform/foundation/Data.h"
#include "platform/graphics/ImageSource.h"
#include "platform/uikit/Image.h"
#include "tests/platform/graphics/hostile_reading.h"
#include "ui_test_support.h"

namespace hostile {
void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.name; }
}  // namespace hostile

namespace {

using hostile::picturesAdmitted;

// A codec's work on one file, each count against what a sound reader of
// its bytes and of the pixels it admitted does at most. Nothing is
// inflated to learn whether a picture is whole before it is charged.
void expectWorkInProportion(const cg::ImageSource::Counters& counters, uint64_t fileBytes, uint64_t pixels) {
    const cg::CodecWork& work = counters.work;
    const uint64_t attempted = counters.picturesAttempted;
    std::printf("  work: %llu directory walks, %llu library headers, %llu bytes inflated, %llu scan blocks, "
                "%llu strips checked (%llu bytes, %llu pixels admitted, %llu pictures tried)\n",
                static_cast<unsigned long long>(work.directoryWalks),
                static_cast<unsigned long long>(work.libraryHeaderReads),
                static_cast<unsigned long long>(work.bytesInflated), static_cast<unsigned long long>(work.scanBlocks),
                static_cast<unsigned long long>(work.stripsChecked), static_cast<unsigned long long>(fileBytes),
                static_cast<unsigned long long>(pixels), static_cast<unsigned long long>(attempted));
    // A directory is listed once, when the data is final; a decode finds
    // its picture from the listing.
    EXPECT_LE(work.directoryWalks, 1u);
    // One header for the listing, one or two per decode, and one per
    // picture listed: no picture's header takes fewer than 8 bytes of the
    // file (an ICNS entry's).
    EXPECT_LE(work.libraryHeaderReads, 1 + 2 * attempted + fileBytes / 8);
    // Decoded rows of up to 16 bytes a pixel (16-bit RGBA and its filter
    // bytes, or samples a reader reads and drops), and a page's padding of
    // up to 2^18 pixels, for the pixels admitted; stored bytes copied as
    // they are; what the app never shows is not inflated at all.
    EXPECT_LE(work.bytesInflated, 16 * (pixels + attempted * (1u << 18)) + fileBytes + (1u << 20));
    // Each progressive scan passes over each block of up to three
    // components once; a picture has at most (w + 7) / 8 x (h + 7) / 8
    // blocks, at most pixels / 64 plus 14,336 for sides up to 65,535. A
    // reader stops a picture's scans at 2^24 blocks in all, past the scan
    // that crosses it.
    const uint64_t blocks = pixels / 64 + attempted * 16384;
    EXPECT_LE(work.scanBlocks, std::min(uint64_t(cg::still::MaximumProgressiveScans) * 3 * blocks,
                                        attempted * (uint64_t(1) << 24) + 3 * blocks));
    // A strip's place and size take at least four bytes of the file; a
    // page decoded checks its own, at most one a row.
    EXPECT_LE(work.stripsChecked, fileBytes / 4 + std::min(pixels, attempted * fileBytes / 4));
}

class HostileShapeTest : public UIKitTest, public testing::WithParamInterface<hostile::Shape> {};

TEST_P(HostileShapeTest, CostsNoMoreThanTheFileBudget) {
    const hostile::Shape& shape = GetParam();
    const hostile::Bytes file = shape.make();
    const uint64_t admitted = picturesAdmitted(shape.pixelsPerPicture);
    std::printf("%s: %zu bytes, at most %llu pictures\n", shape.name, file.size(),
                static_cast<unsigned long long>(admitted));
    {
        // A player asks for every picture in turn and keeps none.
        testing::ResidentPeak peak = hostile::peakFromHere();
        auto source = cg::ImageSource::createWithData(file);
        ASSERT_TRUE(source);
        for (size_t i = 0; i < source->count(); ++i) (void)source->createImageAtIndex(i);
        hostile::expectPeakWithinTheBudget(peak, shape, "the image source");
        const cg::ImageSource::Counters counters = source->counters();
        std::printf("%s: %zu of %zu pictures attempted, %llu scans\n", shape.name, counters.picturesAttempted,
                    source->count(), static_cast<unsigned long long>(counters.work.progressiveScans));
        EXPECT_LE(counters.picturesAttempted, admitted);
        EXPECT_LE(counters.work.progressiveScans,
                  counters.picturesAttempted * size_t(cg::still::MaximumProgressiveScans));
        expectWorkInProportion(counters, file.size(), source->budget()->pixelsCharged());
    }
    {
        testing::ResidentPeak peak = hostile::peakFromHere();
        auto image = ui::Image::imageWithData(ns::Data::make(file));
        const size_t kept = !image ? 0 : image->images().empty() ? 1 : image->images().size();
        EXPECT_LE(kept, admitted);
        hostile::expectPeakWithinTheBudget(peak, shape, "an image of every picture");
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, HostileShapeTest, testing::ValuesIn(hostile::shapes()), hostile::testName);

}  // namespace

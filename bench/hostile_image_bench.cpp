// Files whose cost grows with what they declare, read whole through the
// image source (every picture asked for), each beside a normal file of the
// same format and about the same size: an ICO of 256 entries sharing a
// 4096x4096 1-bit bitmap whose mask is one byte short, an ICO of 65,535
// entries sharing one 1x1 PNG, an ICNS of 40,000 1x1 PNG entries, an ICNS
// of a million empty entries of a type not read, and a 4096x4096
// progressive JPEG whose last scan repeats to 4,100 scans; progressive
// JPEGs of 100 scans at the largest pictures and a flat 8192x8192 one at
// full colour, each beside the same picture in one scan; TIFF pages whose
// shared arrays name a billion strips, and pages of 256 and 16 samples a
// pixel, each beside a page of one sample; TIFF pages of thousands of
// private tags, and private tags naming one block of megabytes a thousand
// times over, each beside one such tag; an 8192x8192 16-bit TIFF of one
// strip beside the PNG of the same picture; a 1x1 PNG behind 998 compressed
// texts, an ICO of 1,024 entries sharing a PNG with one, an ICNS of 2,000
// JPEG 2000 headers, an interlaced 8192x8192 PNG (also drawn for display)
// and an ICNS of two 5792x5792 JPEG 2000 entries. Times are per
// file; the summary prints each hostile file's time and its ratio to its
// peer's from the same run. The JPEG goes through the image response
// serializer too.

#include <benchmark/benchmark.h>

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "bench/ratio_report.h"
#include "net/SDPImageResponseSerializer.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/MutableDictionary.h"
#include "image/codec/TVImageCoder.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/Png.h"
#include "platform/testing/IconFiles.h"
#include "platform/testing/JpegFiles.h"
#include "platform/testing/TiffFiles.h"

namespace {

using testing::Bytes;

// Noise, which a PNG cannot shrink: about four bytes a pixel.
Bytes noisyPng(int side) {
    cg::Bitmap bitmap(side, side, cg::PixelFormat::ARGB32Premultiplied);
    std::mt19937 random(3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            uint32_t r = random();
            bitmap.setPixel(x, y, cg::premultiplied(uint8_t(128 + r % 128), uint8_t(r >> 8), uint8_t(r >> 16), uint8_t(r >> 24)));
        }
    return cg::encodePng(bitmap);
}

struct Pair {
    Bytes hostile;
    Bytes peer;
};

const Pair& maskShortIco() {
    static const Pair pair{testing::icoSharingOneEntry(testing::monochromeIconBitmap(4096, 1), 256),
                           testing::icoSharingOneEntry(testing::monochromeIconBitmap(4096, 0), 1)};
    return pair;
}
const Pair& manyEntryIco() {
    static const Pair pair{testing::icoSharingOneEntry(testing::onePixelPng(), 65535),
                           testing::icoSharingOneEntry(noisyPng(512), 1)};
    return pair;
}
const Pair& manyEntryIcns() {
    static const Pair pair{testing::icnsOfCopies(testing::onePixelPng(), 40000),
                           testing::icnsOfCopies(noisyPng(900), 1)};
    return pair;
}
// A million empty entries of an older raw type, each skipped.
const Pair& skippedEntryIcns() {
    static const Pair pair{[] {
                               Bytes file = {'i', 'c', 'n', 's', 0x00, 0x7A, 0x12, 0x08};
                               for (int i = 0; i < 1000000; ++i) file.insert(file.end(), {'i', 's', '3', '2', 0, 0, 0, 8});
                               return file;
                           }(),
                           testing::icnsOfCopies(noisyPng(1400), 1)};
    return pair;
}
// A square picture of grey (1) or colour (3, 4:4:4 when `fullColour`)
// written by the library: flat, or a gradient.
Bytes squareJpeg(int side, int components, bool progressive, bool fullColour = true, bool flat = true) {
    testing::JpegPicture picture;
    picture.width = picture.height = side;
    picture.components = components;
    picture.progressive = progressive;
    picture.fullColour = fullColour;
    const size_t bytes = size_t(side) * (components == 1 ? 1 : 4);
    picture.row = [=](int y, uint8_t* row) {
        for (size_t x = 0; x < bytes; ++x) row[x] = flat ? 128 : uint8_t(x * 255 / bytes + size_t(y) % 7);
    };
    return testing::jpegFile(picture);
}

const Pair& manyScanJpeg() {
    static const Pair pair{testing::withLastScanRepeated(squareJpeg(4096, 3, true, false), 4100),
                           squareJpeg(4096, 3, true, false, false)};
    return pair;
}
// 8192 x 8192 grey and colour of 100 scans, and flat colour at full
// resolution: their coefficients pass the budget beside their pixels. The
// peers: the same pictures in one scan.
const Pair& largestGreyScans() {
    static const Pair pair{testing::withLastScanRepeated(squareJpeg(8192, 1, true), 100), squareJpeg(8192, 1, false)};
    return pair;
}
const Pair& largestColourScans() {
    static const Pair pair{testing::withLastScanRepeated(squareJpeg(8192, 3, true, false), 100),
                           squareJpeg(8192, 3, false, false)};
    return pair;
}
const Pair& flatFullColour() {
    static const Pair pair{squareJpeg(8192, 3, true), squareJpeg(8192, 3, false)};
    return pair;
}
// The largest grey progressive picture read, of 100 scans, beside the
// library's own six.
const Pair& admittedGreyScans() {
    static const Pair pair{testing::withLastScanRepeated(squareJpeg(7424, 1, true), 100),
                           squareJpeg(7424, 1, true, true, false)};
    return pair;
}

// Grey TIFF pages that read one deflated strip through shared arrays.
Bytes tiffPages(uint32_t width, uint32_t height, uint32_t rowsPerStrip, uint32_t pages, uint16_t samples) {
    return testing::flatTiff(
        {.width = width, .height = height, .samples = samples, .rowsPerStrip = rowsPerStrip, .pages = pages});
}
// 256 pages of 16 x 4,194,304 in one-row strips (16.8 MB); the peer, one
// such page in strips of 512 rows.
const Pair& stripsAcrossPages() {
    static const Pair pair{tiffPages(16, 4'194'304, 1, 256, 1),
                           tiffPages(16, 4'194'304, 512, 1, 1)};
    return pair;
}
// 1024 x 65536 of 256 samples a pixel (refused) and of 16 (the most read);
// the peer, one sample.
const Pair& manySamples() {
    static const Pair pair{tiffPages(1024, 65536, 64, 1, 256), tiffPages(1024, 65536, 64, 1, 1)};
    return pair;
}
const Pair& mostSamplesRead() {
    static const Pair pair{tiffPages(1024, 65536, 64, 1, 16), tiffPages(1024, 65536, 64, 1, 1)};
    return pair;
}

// Private tags whose values all name one block, beside one tag of a block
// as large (the peer holds its value once): 1,000 of 4 MiB (4.2 MB) and
// 4,000 of 16 MiB (16.8 MB); pages of the most private tags libtiff reads,
// 16 (787 KB) and 256 (12.6 MB), beside one tag of about the file's size.
Bytes privateTags(uint32_t tags, uint32_t valueBytes, uint32_t pages = 1) {
    return testing::tiffWithPrivateTags({.privateTags = tags, .valueBytes = valueBytes, .pages = pages});
}
const Pair& tagsSharingOneValue() {
    static const Pair pair{privateTags(1'000, 4 << 20), privateTags(1, 4 << 20)};
    return pair;
}
const Pair& largeTagsSharingOneValue() {
    static const Pair pair{privateTags(4'000, 16 << 20), privateTags(1, 16 << 20)};
    return pair;
}
const Pair& fewPagesOfManyTags() {
    static const Pair pair{privateTags(4'087, 2, 16), privateTags(1, 768 << 10)};
    return pair;
}
const Pair& pagesOfManyTags() {
    static const Pair pair{privateTags(4'087, 2, 256), privateTags(1, 12 << 20)};
    return pair;
}

// Every picture the file holds, asked for in turn, as a reader that keeps
// them all would.
void readWhole(benchmark::State& state, const Bytes& file) {
    for (auto _ : state) {
        auto source = cg::ImageSource::createWithData(file);
        size_t made = 0;
        for (size_t i = 0; i < source->count(); ++i) made += source->createImageAtIndex(i) != nullptr;
        benchmark::DoNotOptimize(made);
    }
    state.counters["bytes"] = double(file.size());
}

// The body of an image/jpeg reply through the image response serializer,
// which inflates what it can.
void serialize(benchmark::State& state, const Bytes& file) {
    auto headers = ns::MutableDictionary::make();
    headers->setObjectForKey(ns::str("image/jpeg"), "Content-Type");
    auto response = ns::HTTPURLResponse::make(ns::URL::make("http://example.com/i"), 200, "HTTP/1.1", headers);
    auto data = ns::Data::make(file);
    for (auto _ : state) {
        ns::Ref<ns::Error> error;
        benchmark::DoNotOptimize(SDPImageResponseSerializer::serializer()->responseObjectForResponse(response, data, &error));
    }
    state.counters["bytes"] = double(file.size());
}

void IcoMaskShort(benchmark::State& state) { readWhole(state, maskShortIco().hostile); }
void IcoMaskShortPeer(benchmark::State& state) { readWhole(state, maskShortIco().peer); }
void IcoManyEntries(benchmark::State& state) { readWhole(state, manyEntryIco().hostile); }
void IcoManyEntriesPeer(benchmark::State& state) { readWhole(state, manyEntryIco().peer); }
void IcnsManyEntries(benchmark::State& state) { readWhole(state, manyEntryIcns().hostile); }
void IcnsManyEntriesPeer(benchmark::State& state) { readWhole(state, manyEntryIcns().peer); }
void IcnsSkippedEntries(benchmark::State& state) { readWhole(state, skippedEntryIcns().hostile); }
void IcnsSkippedEntriesPeer(benchmark::State& state) { readWhole(state, skippedEntryIcns().peer); }
void JpegManyScans(benchmark::State& state) { readWhole(state, manyScanJpeg().hostile); }
void JpegManyScansPeer(benchmark::State& state) { readWhole(state, manyScanJpeg().peer); }
void JpegManyScansSerialized(benchmark::State& state) { serialize(state, manyScanJpeg().hostile); }
void JpegManyScansSerializedPeer(benchmark::State& state) { serialize(state, manyScanJpeg().peer); }
void JpegLargestGreyScans(benchmark::State& state) { readWhole(state, largestGreyScans().hostile); }
void JpegLargestGreyScansPeer(benchmark::State& state) { readWhole(state, largestGreyScans().peer); }
void JpegLargestColourScans(benchmark::State& state) { readWhole(state, largestColourScans().hostile); }
void JpegLargestColourScansPeer(benchmark::State& state) { readWhole(state, largestColourScans().peer); }
void JpegFlatFullColour(benchmark::State& state) { readWhole(state, flatFullColour().hostile); }
void JpegFlatFullColourPeer(benchmark::State& state) { readWhole(state, flatFullColour().peer); }
void JpegAdmittedGreyScans(benchmark::State& state) { readWhole(state, admittedGreyScans().hostile); }
void JpegAdmittedGreyScansPeer(benchmark::State& state) { readWhole(state, admittedGreyScans().peer); }
void TiffStripsAcrossPages(benchmark::State& state) { readWhole(state, stripsAcrossPages().hostile); }
void TiffStripsAcrossPagesPeer(benchmark::State& state) { readWhole(state, stripsAcrossPages().peer); }
void TiffManySamples(benchmark::State& state) { readWhole(state, manySamples().hostile); }
void TiffManySamplesPeer(benchmark::State& state) { readWhole(state, manySamples().peer); }
void TiffMostSamplesRead(benchmark::State& state) { readWhole(state, mostSamplesRead().hostile); }
void TiffMostSamplesReadPeer(benchmark::State& state) { readWhole(state, mostSamplesRead().peer); }
void TiffTagsSharingOneValue(benchmark::State& state) { readWhole(state, tagsSharingOneValue().hostile); }
void TiffTagsSharingOneValuePeer(benchmark::State& state) { readWhole(state, tagsSharingOneValue().peer); }
void TiffLargeTagsSharingOneValue(benchmark::State& state) { readWhole(state, largeTagsSharingOneValue().hostile); }
void TiffLargeTagsSharingOneValuePeer(benchmark::State& state) { readWhole(state, largeTagsSharingOneValue().peer); }
void TiffFewPagesOfManyTags(benchmark::State& state) { readWhole(state, fewPagesOfManyTags().hostile); }
void TiffFewPagesOfManyTagsPeer(benchmark::State& state) { readWhole(state, fewPagesOfManyTags().peer); }
void TiffPagesOfManyTags(benchmark::State& state) { readWhole(state, pagesOfManyTags().hostile); }
void TiffPagesOfManyTagsPeer(benchmark::State& state) { readWhole(state, pagesOfManyTags().peer); }

// ---- PNG chunks, icon entries, interlacing and JPEG 2000 entries ----
// Their files are written here, as the bench takes nothing from the tests.

void putBe(Bytes& out, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

void pngChunk(Bytes& out, const char* type, const Bytes& data) {
    putBe(out, uint32_t(data.size()), 4);
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBe(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))), 4);
}

// A clear RGBA picture, Adam7-interlaced or not.
Bytes clearPng(uint32_t side, bool interlaced) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    putBe(header, side, 4);
    putBe(header, side, 4);
    header.insert(header.end(), {8, 6, 0, 0, uint8_t(interlaced)});
    pngChunk(out, "IHDR", header);
    size_t raw = size_t(side) * (1 + 4 * size_t(side));
    if (interlaced) {
        static constexpr uint32_t kPasses[7][4] = {{0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8}, {2, 4, 0, 4},
                                                   {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2}};
        raw = 0;
        for (const auto& [x0, dx, y0, dy] : kPasses) {
            raw += size_t((side - y0 + dy - 1) / dy) * (1 + 4 * size_t((side - x0 + dx - 1) / dx));
        }
    }
    pngChunk(out, "IDAT", testing::deflateZeros(raw));
    pngChunk(out, "IEND", {});
    return out;
}

// One pixel behind `texts` zTXt chunks of letters inflating to libpng's old
// limit of 8,000,000 bytes each.
Bytes pngWithTexts(int texts) {
    Bytes png = clearPng(1, false);
    Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
    const Bytes inner = testing::deflateZeros(8'000'000 - 16, true, 'A');
    text.insert(text.end(), inner.begin(), inner.end());
    Bytes chunks;
    for (int i = 0; i < texts; ++i) pngChunk(chunks, "zTXt", text);
    png.insert(png.begin() + 33, chunks.begin(), chunks.end());  // after IHDR
    return png;
}

// A codestream of `components` 8-bit components in tiles of `tile`, five
// levels of 64 x 64 code-blocks (the compressor's defaults) or `levels`;
// with `packets`, every tile's packets are there and empty (a flat
// picture), without, the main header and one tile-part to the end.
Bytes codestream(uint32_t side, uint32_t tile, uint16_t components, uint8_t levels, bool packets) {
    Bytes out = {0xFF, 0x4F, 0xFF, 0x51};
    putBe(out, 38 + 3u * components, 2);
    putBe(out, 0, 2);
    for (uint32_t v : {side, side, 0u, 0u, tile, tile, 0u, 0u}) putBe(out, v, 4);
    putBe(out, components, 2);
    for (int c = 0; c < components; ++c) out.insert(out.end(), {7, 1, 1});
    out.insert(out.end(), {0xFF, 0x52, 0, 12, 0, 0, 0, 1, 0, levels, 4, 4, 0, 1});
    out.insert(out.end(), {0xFF, 0x5C, 0, 4, 0x40, 0x40});
    const uint32_t tiles = packets ? ((side + tile - 1) / tile) * ((side + tile - 1) / tile) : 0;
    for (uint32_t t = 0; t < tiles; ++t) {
        const uint32_t empty = uint32_t(components) * (levels + 1u);
        out.insert(out.end(), {0xFF, 0x90, 0, 10});
        putBe(out, t, 2);
        putBe(out, 14 + empty, 4);
        out.insert(out.end(), {0, 1, 0xFF, 0x93});
        out.insert(out.end(), empty, 0);
    }
    // The main header alone is followed by one tile-part running to the end.
    if (!packets) out.insert(out.end(), {0xFF, 0x90, 0, 10, 0, 0, 0, 0, 0, 0, 0, 1, 0xFF, 0x93, 0});
    else out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

const Pair& textPng() {
    static const Pair pair{pngWithTexts(998), clearPng(1, false)};
    return pair;
}
const Pair& textIco() {
    static const Pair pair{testing::icoSharingOneEntry(pngWithTexts(1), 1024),
                           testing::icoSharingOneEntry(clearPng(1, false), 1)};
    return pair;
}
const Pair& tinyJpeg2000Icns() {
    static const Pair pair{testing::icnsOfCopies(codestream(64, 1, 1, 5, false), 2000, "ic10"),
                           testing::icnsOfCopies(codestream(64, 64, 1, 5, true), 1, "ic10")};
    return pair;
}
const Pair& interlacedPng() {
    static const Pair pair{clearPng(8192, true), clearPng(8192, false)};
    return pair;
}
const Pair& largeJpeg2000Icns() {
    static const Pair pair{testing::icnsOfCopies(codestream(5792, 5792, 4, 5, true), 2, "ic10"),
                           testing::icnsOfCopies(codestream(5792, 5792, 4, 5, true), 1, "ic10")};
    return pair;
}

// The first picture drawn for display, as a view's decoder does.
void readForDisplay(benchmark::State& state, const Bytes& file) {
    for (auto _ : state) {
        auto source = cg::ImageSource::createWithData(file);
        benchmark::DoNotOptimize(TVCreateDecodedCGImage(source->createImageAtIndex(0), true));
    }
    state.counters["bytes"] = double(file.size());
}

// 8192 x 8192 RGBA of 16 bits a sample in one deflate strip, decoded a
// batch of rows at a time; the peer, the same clear picture as a PNG.
const Pair& oneLargeStripTiff() {
    static const Pair pair{testing::flatTiff({.width = 8192, .height = 8192, .samples = 4, .bits = 16,
                                              .photometric = 2, .extraSample = 1}),
                           clearPng(8192, false)};
    return pair;
}
void TiffOneLargeStrip(benchmark::State& state) { readWhole(state, oneLargeStripTiff().hostile); }
void TiffOneLargeStripPeer(benchmark::State& state) { readWhole(state, oneLargeStripTiff().peer); }

void PngTexts(benchmark::State& state) { readWhole(state, textPng().hostile); }
void PngTextsPeer(benchmark::State& state) { readWhole(state, textPng().peer); }
void PngTextsSerialized(benchmark::State& state) { serialize(state, textPng().hostile); }
void PngTextsSerializedPeer(benchmark::State& state) { serialize(state, textPng().peer); }
void IcoTexts(benchmark::State& state) { readWhole(state, textIco().hostile); }
void IcoTextsPeer(benchmark::State& state) { readWhole(state, textIco().peer); }
void IcnsTinyJpeg2000(benchmark::State& state) { readWhole(state, tinyJpeg2000Icns().hostile); }
void IcnsTinyJpeg2000Peer(benchmark::State& state) { readWhole(state, tinyJpeg2000Icns().peer); }
void PngInterlaced(benchmark::State& state) { readWhole(state, interlacedPng().hostile); }
void PngInterlacedPeer(benchmark::State& state) { readWhole(state, interlacedPng().peer); }
void PngInterlacedDisplayed(benchmark::State& state) { readForDisplay(state, interlacedPng().hostile); }
void PngInterlacedDisplayedPeer(benchmark::State& state) { readForDisplay(state, interlacedPng().peer); }
void IcnsLargeJpeg2000(benchmark::State& state) { readWhole(state, largeJpeg2000Icns().hostile); }
void IcnsLargeJpeg2000Peer(benchmark::State& state) { readWhole(state, largeJpeg2000Icns().peer); }

// What a run of one pass adds to its name.
const std::string kOnePass = "/iterations:1";

void printPair(const bench::RunRecorder& runs, const std::string& hostile, const char* label) {
    const bench::RunResult* a = runs.find(hostile + kOnePass);
    const bench::RunResult* b = runs.find(hostile + "Peer" + kOnePass);
    if (!a || !b || b->realTime <= 0) return;
    std::printf("%s: %.0f ms (%.0f bytes), peer %.0f ms (%.0f bytes); ratio %.2f\n", label, a->realTime,
                a->counters.at("bytes"), b->realTime, b->counters.at("bytes"), a->realTime / b->realTime);
}

}  // namespace

// One pass each: before the reader's work was bounded, a hostile file took
// tens of seconds.
BENCHMARK(IcoMaskShort)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcoMaskShortPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcoManyEntries)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcoManyEntriesPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsManyEntries)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsManyEntriesPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsSkippedEntries)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsSkippedEntriesPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegManyScans)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegManyScansPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegManyScansSerialized)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegManyScansSerializedPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegLargestGreyScans)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegLargestGreyScansPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegLargestColourScans)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegLargestColourScansPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegFlatFullColour)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegFlatFullColourPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegAdmittedGreyScans)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegAdmittedGreyScansPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffStripsAcrossPages)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffStripsAcrossPagesPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffManySamples)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffManySamplesPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffMostSamplesRead)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffMostSamplesReadPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffTagsSharingOneValue)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffTagsSharingOneValuePeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffLargeTagsSharingOneValue)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffLargeTagsSharingOneValuePeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffFewPagesOfManyTags)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffFewPagesOfManyTagsPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffPagesOfManyTags)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffPagesOfManyTagsPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffOneLargeStrip)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TiffOneLargeStripPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngTexts)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngTextsPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngTextsSerialized)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngTextsSerializedPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcoTexts)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcoTextsPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsTinyJpeg2000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsTinyJpeg2000Peer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngInterlaced)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngInterlacedPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngInterlacedDisplayed)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngInterlacedDisplayedPeer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsLargeJpeg2000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IcnsLargeJpeg2000Peer)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    return bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        std::printf("\nEach file read whole through the image source (hostile / its normal peer):\n");
        printPair(runs, "IcoMaskShort", "ICO, 256 entries sharing a 4096x4096 1-bit bitmap, mask a byte short");
        printPair(runs, "IcoManyEntries", "ICO, 65,535 entries sharing a 1x1 PNG");
        printPair(runs, "IcnsManyEntries", "ICNS, 40,000 entries of a 1x1 PNG");
        printPair(runs, "IcnsSkippedEntries", "ICNS, 1,000,000 empty raw entries");
        printPair(runs, "JpegManyScans", "JPEG, 4096x4096 progressive, 4,100 scans");
        printPair(runs, "JpegManyScansSerialized", "the same JPEG through the image response serializer");
        printPair(runs, "JpegLargestGreyScans", "JPEG, 8192x8192 grey progressive, 100 scans");
        printPair(runs, "JpegLargestColourScans", "JPEG, 8192x8192 colour progressive, 100 scans");
        printPair(runs, "JpegFlatFullColour", "JPEG, 8192x8192 flat 4:4:4 progressive");
        printPair(runs, "JpegAdmittedGreyScans", "JPEG, 7424x7424 grey progressive, 100 scans");
        printPair(runs, "TiffStripsAcrossPages", "TIFF, 256 pages of 4,194,304 one-row strips, arrays shared");
        printPair(runs, "TiffManySamples", "TIFF, 1024x65536 of 256 samples a pixel");
        printPair(runs, "TiffMostSamplesRead", "TIFF, 1024x65536 of 16 samples a pixel");
        printPair(runs, "TiffTagsSharingOneValue", "TIFF, 1,000 private tags of 4 MiB naming one block (peer: one)");
        printPair(runs, "TiffLargeTagsSharingOneValue", "TIFF, 4,000 private tags of 16 MiB naming one block (peer: one)");
        printPair(runs, "TiffFewPagesOfManyTags", "TIFF, 16 pages of 4,087 private tags (peer: one tag of 768 KiB)");
        printPair(runs, "TiffPagesOfManyTags", "TIFF, 256 pages of 4,087 private tags (peer: one tag of 12 MiB)");
        printPair(runs, "TiffOneLargeStrip", "TIFF, 8192x8192 RGBA of 16 bits in one strip (peer: the PNG)");
        printPair(runs, "PngTexts", "PNG, 1x1 behind 998 zTXt chunks of 8 MB each");
        printPair(runs, "PngTextsSerialized", "the same PNG through the image response serializer");
        printPair(runs, "IcoTexts", "ICO, 1,024 entries sharing a 1x1 PNG with an 8 MB zTXt");
        printPair(runs, "IcnsTinyJpeg2000", "ICNS, 2,000 JPEG 2000 headers of 4,096 tiles (peer: one 64x64)");
        printPair(runs, "PngInterlaced", "PNG, 8192x8192 interlaced (peer: not interlaced)");
        printPair(runs, "PngInterlacedDisplayed", "the same PNGs drawn for display");
        printPair(runs, "IcnsLargeJpeg2000", "ICNS, two 5792x5792 RGBA JPEG 2000 entries (peer: one)");
    });
}

#include "platform/graphics/ImageDestination.h"

#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <unordered_map>

#include "platform/graphics/GifWriter.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/Png.h"
#include "platform/graphics/StillFormats.h"

namespace cg {

namespace {

bool isImageType(const std::string& type) {
    for (const char* known : {ImageTypeGIF, ImageTypePNG, ImageTypeJPEG, ImageTypeBMP, ImageTypeTIFF,
                              ImageTypeJPEG2000, ImageTypeICO, ImageTypeICNS}) {
        if (type == known) return true;
    }
    return false;
}

// The exact colour table of a picture of at most 255 colours: indices
// into it, or nothing when there are more.
bool exactTable(const std::vector<uint32_t>& colours, std::vector<uint8_t>& indices, std::vector<uint32_t>& table) {
    std::unordered_map<uint32_t, uint8_t> index;
    for (size_t i = 0; i < colours.size(); ++i) {
        auto [at, added] = index.try_emplace(colours[i], uint8_t(table.size()));
        if (added) {
            if (table.size() == 255) return false;
            table.push_back(colours[i]);
        }
        indices[i] = at->second;
    }
    return true;
}

// One GIF frame of an image: its colours in a local table of at most 255
// entries (exact when the picture has no more, quantized otherwise), index
// 255 transparent where alpha is below half.
std::optional<gif::WriterFrame> gifFrame(const Image& image, std::optional<double> delay) {
    const Bitmap& bitmap = image.bitmap();
    const int w = bitmap.width(), h = bitmap.height();
    const size_t n = size_t(w) * size_t(h);
    std::vector<uint32_t> colours(n);
    std::vector<bool> clear(n);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Pixel p = bitmap.pixel(x, y);
            if (!bitmap.hasAlpha()) p.alpha = 255;
            size_t i = size_t(y) * size_t(w) + size_t(x);
            colours[i] = uint32_t(unpremultipliedComponent(p.red, p.alpha)) << 16 |
                         uint32_t(unpremultipliedComponent(p.green, p.alpha)) << 8 |
                         unpremultipliedComponent(p.blue, p.alpha);
            clear[i] = p.alpha < 128;
        }
    }
    gif::WriterFrame frame;
    frame.width = w;
    frame.height = h;
    frame.indices.resize(n);
    if (!exactTable(colours, frame.indices, frame.localPalette)) {
        std::vector<GifByteType> red(n), green(n), blue(n);
        for (size_t i = 0; i < n; ++i) {
            red[i] = GifByteType(colours[i] >> 16);
            green[i] = GifByteType(colours[i] >> 8);
            blue[i] = GifByteType(colours[i]);
        }
        int size = 255;
        std::vector<GifColorType> table(256);
        if (GifQuantizeBuffer(unsigned(w), unsigned(h), &size, red.data(), green.data(), blue.data(),
                              frame.indices.data(), table.data()) == GIF_ERROR) {
            return std::nullopt;
        }
        frame.localPalette.clear();
        for (int i = 0; i < size; ++i) {
            const GifColorType& c = table[size_t(i)];
            frame.localPalette.push_back(uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue);
        }
    }
    if (std::find(clear.begin(), clear.end(), true) != clear.end()) {
        frame.localPalette.resize(256, 0);
        frame.transparentIndex = 255;
        for (size_t i = 0; i < n; ++i)
            if (clear[i]) frame.indices[i] = 255;
    }
    frame.delayCentiseconds = int(std::lround(delay.value_or(0) * 100));
    return frame;
}

}  // namespace

std::shared_ptr<ImageDestination> ImageDestination::createWithData(const std::string& type, size_t count) {
    if (!isImageType(type) || count == 0) return nullptr;
    return std::make_shared<ImageDestination>(type, count, std::string());
}

std::shared_ptr<ImageDestination> ImageDestination::createWithURL(const std::string& path, const std::string& type,
                                                                  size_t count) {
    if (!isImageType(type) || count == 0 || path.empty()) return nullptr;
    return std::make_shared<ImageDestination>(type, count, path);
}

ImageDestination::ImageDestination(std::string type, size_t count, std::string path)
    : type_(std::move(type)), count_(count), path_(std::move(path)) {}

void ImageDestination::addImage(const ns::Ref<Image>& image, const DestinationImageProperties& properties) {
    if (!image || entries_.size() >= count_) return;
    entries_.push_back({image, properties});
}

void ImageDestination::addImageFromSource(ImageSource& source, size_t index,
                                          const DestinationImageProperties& properties) {
    addImage(source.createImageAtIndex(index), properties);
}

std::vector<uint8_t> ImageDestination::encode() const {
    const Bitmap& first = entries_.front().image->bitmap();
    if (type_ == ImageTypePNG) return encodePng(first);
    if (type_ == ImageTypeJPEG) {
        double quality = entries_.front().properties.lossyCompressionQuality.value_or(0.75);
        return still::encodeJpeg(first, std::clamp(quality, 0.0, 1.0));
    }
    if (type_ == ImageTypeBMP) return still::encodeBmp(first);
    if (type_ == ImageTypeTIFF) return still::encodeTiff(first);
    if (type_ == ImageTypeJPEG2000) {
        double quality = entries_.front().properties.lossyCompressionQuality.value_or(0.75);
        return still::encodeJpeg2000(first, std::clamp(quality, 0.0, 1.0));
    }
    if (type_ == ImageTypeICO) return still::encodeIco(first);
    if (type_ == ImageTypeICNS) return still::encodeIcns(first);
    if (type_ != ImageTypeGIF) return {};
    gif::WriterFile file;
    file.loopCount = properties_.gifLoopCount;
    for (const auto& entry : entries_) {
        auto frame = gifFrame(*entry.image, entry.properties.gifDelayTime);
        if (!frame) return {};
        file.width = std::max(file.width, frame->width);
        file.height = std::max(file.height, frame->height);
        file.frames.push_back(std::move(*frame));
    }
    // Each frame is a whole picture: where one is clear, the one before it
    // must not show through.
    bool anyClear = std::any_of(file.frames.begin(), file.frames.end(),
                                [](const gif::WriterFrame& f) { return f.transparentIndex >= 0; });
    for (auto& frame : file.frames) frame.disposal = anyClear ? 2 : 1;
    if (file.width > 0xFFFF || file.height > 0xFFFF) return {};
    return gif::write(file);
}

bool ImageDestination::finalize() {
    if (finalized_ || entries_.empty()) return false;
    finalized_ = true;
    data_ = encode();
    if (data_.empty()) return false;
    if (path_.empty()) return true;
    // Written beside the file and renamed over it, so a reader never sees
    // half a file.
    std::string temporary = path_ + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data_.data()), std::streamsize(data_.size()));
        if (!out.good()) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    return std::rename(temporary.c_str(), path_.c_str()) == 0;
}

}  // namespace cg

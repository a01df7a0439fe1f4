#include "platform/foundation/ContentDecoder.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <new>
#include <string>

namespace ns::detail {

// One inflation, gzip or zlib-wrapped as its header tells, or raw deflate.
struct ContentDecoder::Stage {
    z_stream stream{};
    bool live = false;
    // Nothing has come out yet: a "deflate" reply may be raw deflate,
    // without the wrapping its name promises.
    bool untried = true;
    bool ended = false;
    // What came in while untried, to read again as raw deflate.
    std::string seen;
    std::vector<char> piece = std::vector<char>(PieceSize);

    bool begin(int windowBits) {
        stream = z_stream{};
        live = inflateInit2(&stream, windowBits) == Z_OK;
        return live;
    }
    ~Stage() {
        if (live) inflateEnd(&stream);
    }
};

namespace {

std::string trimmedLower(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

}  // namespace

ContentDecoder::ContentDecoder() = default;
ContentDecoder::~ContentDecoder() = default;

bool ContentDecoder::start(std::string_view encoding) {
    started_ = true;
    std::vector<std::unique_ptr<Stage>> stages;
    for (size_t at = 0; at <= encoding.size();) {
        size_t comma = std::min(encoding.find(',', at), encoding.size());
        const std::string coding = trimmedLower(encoding.substr(at, comma - at));
        at = comma + 1;
        if (coding.empty() || coding == "identity") continue;
        if (coding != "gzip" && coding != "x-gzip" && coding != "deflate") return false;
        if (stages.size() == MostCodings) return false;
        auto stage = std::make_unique<Stage>();
        if (!stage->begin(15 + 32)) throw std::bad_alloc();
        stages.push_back(std::move(stage));
    }
    std::reverse(stages.begin(), stages.end());
    stages_ = std::move(stages);
    return true;
}

bool ContentDecoder::decode(const char* bytes, size_t length, const Take& take) {
    return decodeFrom(0, bytes, length, take);
}

bool ContentDecoder::decodeFrom(size_t index, const char* bytes, size_t length, const Take& take) {
    if (index == stages_.size()) {
        for (size_t done = 0; done < length; done += PieceSize) {
            if (!take(bytes + done, std::min(PieceSize, length - done))) return false;
        }
        return true;
    }
    Stage& stage = *stages_[index];
    // Whatever follows the end of the compressed stream is not the reply's.
    if (stage.ended) return true;
    if (stage.untried) {
        // A wrapping tells itself within its first bytes; past a piece's
        // worth, nothing is kept to read again.
        if (stage.seen.size() + length <= PieceSize) stage.seen.append(bytes, length);
        else stage.untried = false;
    }
    stage.stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    stage.stream.avail_in = uInt(length);
    for (;;) {
        stage.stream.next_out = reinterpret_cast<Bytef*>(stage.piece.data());
        stage.stream.avail_out = uInt(stage.piece.size());
        const int result = inflate(&stage.stream, Z_NO_FLUSH);
        const size_t made = stage.piece.size() - stage.stream.avail_out;
        if (result == Z_DATA_ERROR && stage.untried) {
            // Raw deflate: again from the start, without a wrapping.
            inflateEnd(&stage.stream);
            stage.untried = false;
            if (!stage.begin(-15)) throw std::bad_alloc();
            const std::string again = std::move(stage.seen);
            stage.seen.clear();
            return decodeFrom(index, again.data(), again.size(), take);
        }
        if (result == Z_MEM_ERROR) throw std::bad_alloc();
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
            malformed_ = true;
            return false;
        }
        if (made > 0) {
            stage.untried = false;
            std::string().swap(stage.seen);
            // The next stage takes the piece before this one makes another.
            if (!decodeFrom(index + 1, stage.piece.data(), made, take)) return false;
        }
        if (result == Z_STREAM_END) {
            stage.ended = true;
            return true;
        }
        // Everything given is taken and nothing more is held back.
        if (made < stage.piece.size() && (stage.stream.avail_in == 0 || result == Z_BUF_ERROR)) return true;
    }
}

}  // namespace ns::detail

#include "platform/foundation/ContentDecoder.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <new>
#include <string>
#include <utility>

namespace ns::detail {

// One inflation, gzip or zlib-wrapped as its header tells, or raw deflate.
struct ContentDecoder::Stage {
    z_stream stream{};
    bool live = false;
    // Nothing has come out yet: a "deflate" reply may be raw deflate,
    // without the wrapping its name promises.
    bool untried = true;
    // A gzip coding may hold several members, one after another.
    bool members = false;
    // The end of a member (or of the whole stream) has been read.
    bool ended = false;
    // Some bytes have come in: from here the stream must reach its end.
    bool fed = false;
    // The header zlib read, when the wrapping is gzip (done is 1 then).
    gz_header header{};
    // The deflate data of the current member has ended (its last block's
    // end-of-block code is read); what follows is its trailer.
    bool dataEnded = false;
    // The first bytes of that trailer (CRC and length), as far as they came.
    std::string trailer;
    // After a member: the first bytes that tell whether another begins.
    std::string next;
    // What follows the last member is not the reply's.
    bool trailing = false;
    // What came in while untried, to read again as raw deflate.
    std::string seen;
    std::vector<char> piece = std::vector<char>(PieceSize);

    bool begin(int windowBits) {
        stream = z_stream{};
        live = inflateInit2(&stream, windowBits) == Z_OK;
        if (live) beginMember();
        return live;
    }
    // A stream without its wrapping has no header to read: zlib refuses it.
    void beginMember() {
        header = gz_header{};
        inflateGetHeader(&stream, &header);
        dataEnded = false;
        std::string().swap(trailer);
    }
    // A gzip member whose data is whole and whose trailer stops short: the
    // bytes of it that came agree with the CRC and length of what it made.
    bool endsWithoutWholeTrailer() const {
        if (ended || header.done != 1 || !dataEnded || trailer.size() >= GzipTrailerBytes) return false;
        const uint32_t expected[] = {uint32_t(stream.adler), uint32_t(stream.total_out)};
        for (size_t i = 0; i < trailer.size(); ++i) {
            if (uint8_t(trailer[i]) != uint8_t(expected[i / 4] >> (8 * (i % 4)))) return false;
        }
        return true;
    }
    ~Stage() {
        if (live) inflateEnd(&stream);
    }
};

namespace {

std::atomic<bool> failingStarts{false};

// The first bytes of every gzip member.
constexpr std::string_view gzipMagic("\x1f\x8b", 2);

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

void ContentDecoder::failStartsForTesting(bool fail) { failingStarts.store(fail); }

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
        if (failingStarts.load() || !stage->begin(15 + 32)) throw std::bad_alloc();
        stage->members = coding != "deflate";
        stages.push_back(std::move(stage));
    }
    std::reverse(stages.begin(), stages.end());
    stages_ = std::move(stages);
    return true;
}

bool ContentDecoder::complete() const {
    return std::all_of(stages_.begin(), stages_.end(), [](const auto& stage) {
        return stage->ended || !stage->fed || stage->endsWithoutWholeTrailer();
    });
}

size_t ContentDecoder::trailerBytesMissing() const {
    for (const auto& stage : stages_) {
        if (stage->endsWithoutWholeTrailer()) return GzipTrailerBytes - stage->trailer.size();
    }
    return 0;
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
    for (;;) {
        if (stage.ended) {
            // Whatever follows the end of the compressed stream is not the
            // reply's, unless it begins another gzip member.
            if (!stage.members || stage.trailing || length == 0) return true;
            const size_t took = std::min(gzipMagic.size() - stage.next.size(), length);
            stage.next.append(bytes, took);
            bytes += took;
            length -= took;
            if (stage.next.size() < gzipMagic.size()) return true;
            if (stage.next != gzipMagic) {
                stage.trailing = true;
                std::string().swap(stage.next);
                return true;
            }
            if (inflateReset(&stage.stream) != Z_OK) {
                malformed_ = true;
                return false;
            }
            stage.beginMember();
            stage.ended = false;
            const std::string magic = std::exchange(stage.next, std::string());
            const char* magicBytes = magic.data();
            size_t magicLength = magic.size();
            if (inflateSome(index, magicBytes, magicLength, take) == Inflated::Stopped) return false;
        }
        switch (inflateSome(index, bytes, length, take)) {
        case Inflated::Stopped: return false;
        case Inflated::AllTaken: return true;
        case Inflated::Ended: break;  // `bytes` now holds what follows
        }
    }
}

ContentDecoder::Inflated ContentDecoder::inflateSome(size_t index, const char*& bytes, size_t& length, const Take& take) {
    Stage& stage = *stages_[index];
    if (length > 0) stage.fed = true;
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
        const Bytef* const from = stage.stream.next_in;
        // Stopping at each block's end tells when the last one has ended.
        const int result = inflate(&stage.stream, Z_BLOCK);
        const size_t made = stage.piece.size() - stage.stream.avail_out;
        if (stage.dataEnded && stage.trailer.size() < GzipTrailerBytes) {
            const size_t consumed = size_t(stage.stream.next_in - from);
            stage.trailer.append(reinterpret_cast<const char*>(from),
                                 std::min(consumed, GzipTrailerBytes - stage.trailer.size()));
        }
        // The last block's end-of-block code: what follows is byte-aligned,
        // and no byte of it has been taken yet.
        constexpr int LastBlock = 64, BlockEnded = 128;
        if ((stage.stream.data_type & (LastBlock | BlockEnded)) == (LastBlock | BlockEnded)) stage.dataEnded = true;
        if (result == Z_DATA_ERROR && stage.untried) {
            // Raw deflate: again from the start, without a wrapping.
            inflateEnd(&stage.stream);
            stage.untried = false;
            if (!stage.begin(-15)) throw std::bad_alloc();
            const std::string again = std::exchange(stage.seen, std::string());
            length = 0;
            return decodeFrom(index, again.data(), again.size(), take) ? Inflated::AllTaken : Inflated::Stopped;
        }
        if (result == Z_MEM_ERROR) throw std::bad_alloc();
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
            malformed_ = true;
            return Inflated::Stopped;
        }
        if (made > 0) {
            stage.untried = false;
            std::string().swap(stage.seen);
            // The next stage takes the piece before this one makes another.
            if (!decodeFrom(index + 1, stage.piece.data(), made, take)) return Inflated::Stopped;
        }
        if (result == Z_STREAM_END) {
            stage.ended = true;
            bytes = reinterpret_cast<const char*>(stage.stream.next_in);
            length = stage.stream.avail_in;
            return Inflated::Ended;
        }
        // Everything given is taken and nothing more is held back. A stop
        // at a block's end goes on once more even with nothing left to
        // give: a raw stream's end lies just past its last block's.
        const bool atBlockEnd = stage.stream.data_type & BlockEnded;
        if (made < stage.piece.size() && (result == Z_BUF_ERROR || (stage.stream.avail_in == 0 && !atBlockEnd))) {
            length = 0;
            return Inflated::AllTaken;
        }
    }
}

}  // namespace ns::detail

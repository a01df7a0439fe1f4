// JPEG through libjpeg-turbo. Reading takes everything received so far
// with a suspending source: a sequential file gives the rows decoded before
// the data ran out; a progressive one is read in buffered-image mode and
// shows the last scan received whole, as far as MaximumProgressiveScans
// and MaximumProgressiveScanBlocks: the scans after those are not read.
// Buffered-image mode holds every coefficient of the picture while it
// reads; the library may hold no more than the file's budget leaves beside
// the picture's pixels, and a file that needs more is not decoded. Errors
// jump out of the library, so the functions that call it hold no objects
// with destructors.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/foundation/Log.h"
#include "platform/graphics/CodecWork.h"
#include "platform/graphics/DecodeBudget.h"
#include "platform/graphics/StillFormats.h"

namespace cg::still {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void onError(j_common_ptr info) { longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }
void onMessage(j_common_ptr, int) {}

// What one file's budget holds, of which a picture's pixels take four
// bytes each: the rest is what the library may hold while it decodes.
constexpr uint64_t kBudgetBytes = MaximumPixelsPerFile * 4 + MaximumOverheadBytesPerFile;
static_assert(MaximumPixels * 4 < kBudgetBytes, "a capped picture leaves the library room for its rows");

// A cleared (de)compressor whose errors jump to `errors` and whose
// warnings are dropped.
template <class Struct>
void prepare(Struct& info, ErrorManager& errors) {
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.emit_message = onMessage;
}

// The data received so far; at its end the reader suspends, or, when the
// data is final, sees an end-of-image marker.
struct Source {
    jpeg_source_mgr base;
    bool final;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) {}
boolean fillInput(j_decompress_ptr info) {
    auto* source = reinterpret_cast<Source*>(info->src);
    if (!source->final) return FALSE;
    source->base.next_input_byte = kEndOfImage;
    source->base.bytes_in_buffer = 2;
    return TRUE;
}
void skipInput(j_decompress_ptr info, long count) {
    auto* source = reinterpret_cast<Source*>(info->src);
    if (count <= 0) return;
    if (size_t(count) <= source->base.bytes_in_buffer) {
        source->base.next_input_byte += count;
        source->base.bytes_in_buffer -= size_t(count);
    } else if (source->final) {
        source->base.bytes_in_buffer = 0;
        fillInput(info);
    } else {
        // Not enough yet: the skip is retried after a suspension, so the
        // reader must see the whole skip remaining; stay put and suspend.
        source->base.next_input_byte += source->base.bytes_in_buffer;
        source->base.bytes_in_buffer = 0;
    }
}
void termSource(j_decompress_ptr) {}

struct Job {
    std::span<const uint8_t> data;
    bool final = false;
    bool headerOnly = false;
    Header header;
    bool haveHeader = false;
    bool ended = false;
    int rows = 0;
    int scans = 0;
    uint64_t scanBlocks = 0;  // the blocks the scans read pass over
    bool scansCut = false;    // the file has more scans than are read
    bool outOfMemory = false;  // the library needed more than the budget leaves
    std::optional<RowSink> sink;
    std::vector<uint32_t> scratch;
};

// The blocks the scan being started passes over: every block of each of
// its components, however little data it holds.
uint64_t blocksInScan(j_decompress_ptr info) {
    return uint64_t(info->MCUs_per_row) * info->MCU_rows_in_scan * uint64_t(info->blocks_in_MCU);
}

// Where the library writes a row before it is finished into the picture.
// Its colour conversion stores a row that starts on 32 bytes past the
// caches, and finishing reads the row again at once: from memory, were it
// the picture's own (a large picture's rows start where the allocator puts
// them). A row 16 bytes off that boundary is stored through the caches.
uint32_t* scratchRow(Job& job, int width) {
    if (job.scratch.empty()) job.scratch.resize(size_t(width) + 8);
    const auto at = reinterpret_cast<uintptr_t>(job.scratch.data());
    return job.scratch.data() + (48 - at % 32) % 32 / 4;
}

void readRows(j_decompress_ptr info, Job& job) {
    uint32_t* written = scratchRow(job, job.header.width);
    while (info->output_scanline < info->output_height) {
        int y = int(info->output_scanline);
        JSAMPROW row = reinterpret_cast<JSAMPROW>(written);
        if (jpeg_read_scanlines(info, &row, 1) != 1) break;  // suspended
        job.sink->finishRowFrom(y, written);
        job.rows++;
    }
}

void decodeWith(j_decompress_ptr info, Job& job) {
    ErrorManager* errors = reinterpret_cast<ErrorManager*>(info->err);
    if (setjmp(errors->jump)) return;
    jpeg_create_decompress(info);
    Source* source = static_cast<Source*>((*info->mem->alloc_small)(reinterpret_cast<j_common_ptr>(info),
                                                                    JPOOL_PERMANENT, sizeof(Source)));
    source->base.init_source = initSource;
    source->base.fill_input_buffer = fillInput;
    source->base.skip_input_data = skipInput;
    source->base.resync_to_restart = jpeg_resync_to_restart;
    source->base.term_source = termSource;
    source->base.next_input_byte = job.data.data();
    source->base.bytes_in_buffer = job.data.size();
    source->final = job.final;
    info->src = &source->base;
    const int header = jpeg_read_header(info, TRUE);
    work::libraryHeaderRead();
    if (header != JPEG_HEADER_OK) return;
    if (uint64_t(info->image_width) * info->image_height > MaximumPixels) return;
    job.header.width = int(info->image_width);
    job.header.height = int(info->image_height);
    job.header.progressive = jpeg_has_multiple_scans(info);
    job.haveHeader = true;
    if (job.headerOnly) return;
    // BGRX bytes: the native words of an RGB24 bitmap.
    info->out_color_space = JCS_EXT_BGRX;
    if (!job.header.progressive) {
        job.sink.emplace(job.header.width, job.header.height, false);
        if (!jpeg_start_decompress(info)) return;
        readRows(info, job);
        job.ended = info->output_scanline == info->output_height;
        return;
    }
    info->buffered_image = TRUE;
    // The coefficients are allocated here, within what the budget leaves.
    info->mem->max_memory_to_use = long(kBudgetBytes - uint64_t(job.header.width) * uint64_t(job.header.height) * 4);
    // Buffered-image mode does not suspend here: it reads no data yet.
    if (!jpeg_start_decompress(info)) return;
    job.sink.emplace(job.header.width, job.header.height, false);
    job.scanBlocks = blocksInScan(info);
    int status;
    do {
        status = jpeg_consume_input(info);
        // A scan past either limit is left unread, and the picture is what
        // the scans before it give.
        if (status == JPEG_REACHED_SOS) {
            const uint64_t blocks = blocksInScan(info);
            job.scansCut = info->input_scan_number > MaximumProgressiveScans ||
                           job.scanBlocks + blocks > MaximumProgressiveScanBlocks;
            if (!job.scansCut) job.scanBlocks += blocks;
        }
    } while (status != JPEG_SUSPENDED && status != JPEG_REACHED_EOI && !job.scansCut);
    job.scans = job.scansCut ? info->input_scan_number - 1 : info->input_scan_number;
    work::progressiveScans(uint64_t(job.scans));
    work::scanBlocks(job.scanBlocks);
    // The scan being read is whole only once the file has ended; before
    // that, show the last whole one (or what the first gives so far).
    int scan = info->input_scan_number;
    bool whole = status == JPEG_REACHED_EOI;
    if (!whole && scan > 1) scan--;
    if (!jpeg_start_output(info, scan)) return;
    readRows(info, job);
    job.ended = whole && info->output_scanline == info->output_height;
}

bool run(Job& job) {
    if (job.data.size() < 3 || job.data[0] != 0xFF || job.data[1] != 0xD8 || job.data[2] != 0xFF) return false;
    jpeg_decompress_struct info;
    ErrorManager errors;
    prepare(info, errors);
    decodeWith(&info, job);
    job.outOfMemory = errors.base.msg_code == JERR_NO_BACKING_STORE;
    jpeg_destroy_decompress(&info);
    work::inflated(uint64_t(job.rows) * uint64_t(job.header.width) * 4);
    return job.haveHeader;
}

void putExifOrientation(std::span<const uint8_t> data, Header& header) { header.orientation = jpegOrientation(data); }

}  // namespace

std::optional<Header> jpegHeader(std::span<const uint8_t> data) {
    Job job;
    job.data = data;
    job.headerOnly = true;
    if (!run(job)) return std::nullopt;
    putExifOrientation(data, job.header);
    return job.header;
}

std::optional<Decoded> decodeJpeg(std::span<const uint8_t> data, bool final) {
    Job job;
    job.data = data;
    job.final = final;
    const bool read = run(job);
    if (final && job.outOfMemory) {
        ns::log("JPEG: a %d x %d progressive file needs more memory to decode than its budget leaves; not decoded",
                job.header.width, job.header.height);
    }
    if (!read || !job.sink) return std::nullopt;
    if (final && job.scansCut && job.scans >= MaximumProgressiveScans) {
        ns::log("JPEG: a %d x %d progressive file has more than %d scans; the picture is what the first %d give",
                job.header.width, job.header.height, MaximumProgressiveScans, MaximumProgressiveScans);
    } else if (final && job.scansCut) {
        ns::log("JPEG: the scans of a %d x %d progressive file pass over more than %llu blocks; the picture is what "
                "the first %d give",
                job.header.width, job.header.height, static_cast<unsigned long long>(MaximumProgressiveScanBlocks),
                job.scans);
    }
    if (final && job.rows == 0) return std::nullopt;
    putExifOrientation(data, job.header);
    Decoded decoded;
    decoded.header = job.header;
    decoded.complete = job.ended || final;
    decoded.bitmap = job.sink->take();
    return decoded;
}

std::vector<uint8_t> encodeJpeg(const Bitmap& bitmap, double quality) {
    if (bitmap.isEmpty()) return {};
    jpeg_compress_struct info;
    ErrorManager errors;
    prepare(info, errors);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    // Alpha is dropped over black, as the pixels are premultiplied.
    const bool ok = [&]() {
        if (setjmp(errors.jump)) return false;
        jpeg_create_compress(&info);
        jpeg_mem_dest(&info, &buffer, &size);
        info.image_width = JDIMENSION(bitmap.width());
        info.image_height = JDIMENSION(bitmap.height());
        info.input_components = 4;
        info.in_color_space = JCS_EXT_BGRX;
        jpeg_set_defaults(&info);
        int q = int(quality * 100 + 0.5);
        jpeg_set_quality(&info, q < 0 ? 0 : q > 100 ? 100 : q, TRUE);
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(reinterpret_cast<const JSAMPLE*>(bitmap.row(int(info.next_scanline))));
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        return true;
    }();
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out;
    if (ok && buffer) out.assign(buffer, buffer + size);
    std::free(buffer);
    return out;
}

}  // namespace cg::still

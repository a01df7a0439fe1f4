#include "platform/testing/JpegFiles.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace testing {

std::vector<uint8_t> jpegFile(const JpegPicture& picture) {
    const bool grey = picture.components == 1;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(picture.width);
    info.image_height = JDIMENSION(picture.height);
    info.input_components = grey ? 1 : 4;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, picture.quality, TRUE);
    if (picture.fullColour && !grey) info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
    if (picture.progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (picture.orientation) {
        // "Exif\0\0", a big-endian TIFF header, one directory entry.
        const uint8_t exif[] = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                                0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, uint8_t(picture.orientation), 0, 0, 0, 0, 0, 0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif, unsigned(sizeof exif));
    }
    std::vector<uint8_t> row(size_t(picture.width) * (grey ? 1 : 4));
    while (info.next_scanline < info.image_height) {
        picture.row(int(info.next_scanline), row.data());
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

JpegScans scansOf(const std::vector<uint8_t>& jpeg) {
    JpegScans found;
    size_t at = 2, groupStart = 0;
    bool inGroup = false;
    while (at + 2 <= jpeg.size()) {
        if (jpeg[at] != 0xFF) {
            ++at;
            continue;
        }
        const uint8_t marker = jpeg[at + 1];
        if (marker == 0xD9) {
            found.end = at;
            break;
        }
        if (at + 4 > jpeg.size()) break;
        const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (marker == 0xC4 && !inGroup) groupStart = at, inGroup = true;
        if (marker != 0xDA) {
            if (marker != 0xC4) inGroup = false;
            at += 2 + length;
            continue;
        }
        found.lastBegins = inGroup ? groupStart : at;
        found.count++;
        inGroup = false;
        // The entropy-coded data runs to the next marker that is neither
        // a stuffed byte nor a restart.
        at += 2 + length;
        while (at + 1 < jpeg.size() &&
               !(jpeg[at] == 0xFF && jpeg[at + 1] != 0 && (jpeg[at + 1] < 0xD0 || jpeg[at + 1] > 0xD7))) {
            ++at;
        }
    }
    return found;
}

std::vector<uint8_t> withLastScanRepeated(const std::vector<uint8_t>& jpeg, size_t scans) {
    const JpegScans found = scansOf(jpeg);
    if (found.end == 0 || found.count == 0) return {};
    const auto begin = jpeg.begin() + std::ptrdiff_t(found.lastBegins), end = jpeg.begin() + std::ptrdiff_t(found.end);
    std::vector<uint8_t> out(jpeg.begin(), end);
    out.reserve(out.size() + size_t(end - begin) * (scans > found.count ? scans - found.count : 0) + 2);
    for (size_t i = found.count; i < scans; ++i) out.insert(out.end(), begin, end);
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

}  // namespace testing

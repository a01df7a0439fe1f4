#include "image/codec/TVPNGChunks.h"

#include <stdlib.h>
#include <string.h>

#define TV_CHUNK_IHDR TV_FOUR_CC('I', 'H', 'D', 'R')
#define TV_CHUNK_IDAT TV_FOUR_CC('I', 'D', 'A', 'T')
#define TV_CHUNK_IEND TV_FOUR_CC('I', 'E', 'N', 'D')
#define TV_CHUNK_acTL TV_FOUR_CC('a', 'c', 'T', 'L')
#define TV_CHUNK_fcTL TV_FOUR_CC('f', 'c', 'T', 'L')
#define TV_CHUNK_fdAT TV_FOUR_CC('f', 'd', 'A', 'T')

static const uint8_t kPNGSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

static uint32_t tv_read_u32(const uint8_t *p) {
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | (uint32_t)p[3];
}

static uint16_t tv_read_u16(const uint8_t *p) { return (uint16_t)(((uint16_t)p[0] << 8) | p[1]); }

/* The chunk's data: after its length and code. */
static const uint8_t *tv_chunk_data(const uint8_t *data, const TVPNGChunkInfo *chunk) { return data + chunk->offset + 8; }

static void tv_read_frame(const uint8_t *data, const TVPNGChunkInfo *fctl, TVPNGFrameInfo *frame) {
    const uint8_t *p = tv_chunk_data(data, fctl);
    frame->sequence = tv_read_u32(p);
    frame->width = tv_read_u32(p + 4);
    frame->height = tv_read_u32(p + 8);
    frame->offset_x = tv_read_u32(p + 12);
    frame->offset_y = tv_read_u32(p + 16);
    frame->delay_num = tv_read_u16(p + 20);
    frame->delay_den = tv_read_u16(p + 22);
    frame->dispose_op = p[24];
    frame->blend_op = p[25];
}

/* Reads every chunk's framing; false when one runs past the end (the whole
 * parse fails) or memory runs out. */
static bool tv_scan_chunks(const uint8_t *data, uint32_t length, TVPNGChunkInfo **out_chunks, uint32_t *out_num) {
    uint32_t capacity = 16, num = 0;
    TVPNGChunkInfo *chunks = malloc(sizeof(TVPNGChunkInfo) * capacity);
    if (!chunks) return false;
    uint64_t offset = 8;
    while (offset + 12 <= length) {
        const uint8_t *p = data + offset;
        uint32_t chunk_length = tv_read_u32(p);
        /* 64 bits: a length near 2^32 must not wrap the end test. */
        uint64_t end = offset + (uint64_t)chunk_length + 12;
        if (end > length) {
            free(chunks);
            return false;
        }
        if (num == capacity) {
            /* Doubling: a file of many small chunks is read in time linear
             * in its length. The count stays below length / 12. */
            TVPNGChunkInfo *grown = realloc(chunks, sizeof(TVPNGChunkInfo) * (size_t)capacity * 2);
            if (!grown) {
                free(chunks);
                return false;
            }
            chunks = grown;
            capacity *= 2;
        }
        TVPNGChunkInfo *chunk = &chunks[num++];
        chunk->offset = (uint32_t)offset;
        chunk->fourcc = tv_read_u32(p + 4);
        chunk->length = chunk_length;
        chunk->crc = tv_read_u32(p + 8 + chunk_length);
        offset = end;
        if (chunk->fourcc == TV_CHUNK_IEND) break;
    }
    *out_chunks = chunks;
    *out_num = num;
    return true;
}

/* Whether the chunks form an animated PNG this parser can cut into frames:
 * lengths, sequence numbers, counts and order all consistent, and every
 * frame a non-empty rectangle inside the canvas. Fills the frame and play
 * counts on success. */
static bool tv_check_apng(const uint8_t *data, const TVPNGInfo *info, uint32_t *frame_num, uint32_t *loop_num) {
    const TVPNGChunkInfo *chunks = info->chunks;
    uint32_t n = info->chunk_num;
    uint32_t actl_frames = 0, fctl_num = 0, next_sequence = 0;
    bool seen_actl = false, seen_idat = false, idat_run_ended = false;
    for (uint32_t i = 0; i < n; i++) {
        const TVPNGChunkInfo *c = &chunks[i];
        const uint8_t *p = tv_chunk_data(data, c);
        uint32_t previous = i > 0 ? chunks[i - 1].fourcc : 0;
        if (c->fourcc != TV_CHUNK_IDAT && seen_idat) idat_run_ended = true;
        switch (c->fourcc) {
        case TV_CHUNK_IHDR:
            if (i != 0) return false;
            break;
        case TV_CHUNK_acTL:
            if (seen_actl || c->length != 8) return false;
            seen_actl = true;
            actl_frames = tv_read_u32(p);
            *loop_num = tv_read_u32(p + 4);
            break;
        case TV_CHUNK_fcTL: {
            if (c->length != 26 || tv_read_u32(p) != next_sequence++) return false;
            if (i + 1 >= n) return false;
            uint32_t next = chunks[i + 1].fourcc;
            if (next != TV_CHUNK_fdAT && next != TV_CHUNK_IDAT) return false;
            TVPNGFrameInfo frame;
            tv_read_frame(data, c, &frame);
            if (frame.width == 0 || frame.height == 0) return false;
            if ((uint64_t)frame.offset_x + frame.width > info->header.width) return false;
            if ((uint64_t)frame.offset_y + frame.height > info->header.height) return false;
            fctl_num++;
            break;
        }
        case TV_CHUNK_fdAT:
            if (c->length < 5 || tv_read_u32(p) != next_sequence++) return false;
            if (previous != TV_CHUNK_fdAT && previous != TV_CHUNK_fcTL) return false;
            break;
        case TV_CHUNK_IDAT:
            if (idat_run_ended) return false;
            seen_idat = true;
            break;
        default:
            break;
        }
    }
    if (!seen_actl || !seen_idat) return false;
    if (actl_frames < 1 || actl_frames != fctl_num) return false;
    if (chunks[n - 1].fourcc != TV_CHUNK_IEND) return false;
    *frame_num = fctl_num;
    return true;
}

/* Fills the frame table and the shared-chunk list; false when memory runs
 * out. */
static bool tv_build_apng(const uint8_t *data, TVPNGInfo *info, uint32_t frame_num) {
    info->apng_frames = calloc(frame_num, sizeof(TVPNGFrameInfo));
    info->apng_shared_chunk_indexs = calloc(info->chunk_num, sizeof(uint32_t));
    if (!info->apng_frames || !info->apng_shared_chunk_indexs) return false;

    uint32_t first_idat = 0;
    bool cover = false, seen_fctl = false;
    for (uint32_t i = 0; i < info->chunk_num; i++) {
        uint32_t code = info->chunks[i].fourcc;
        if (code == TV_CHUNK_fcTL && !seen_fctl) {
            seen_fctl = true;
            cover = info->chunks[i + 1].fourcc == TV_CHUNK_IDAT;
        }
        if (code == TV_CHUNK_IDAT) {
            first_idat = i;
            break;
        }
    }
    info->apng_first_frame_is_cover = cover;
    info->apng_shared_insert_index = first_idat;
    info->apng_frame_num = frame_num;

    int64_t frame = -1;
    for (uint32_t i = 0; i < info->chunk_num; i++) {
        const TVPNGChunkInfo *c = &info->chunks[i];
        uint32_t size = c->length + 12;
        switch (c->fourcc) {
        case TV_CHUNK_fcTL: {
            TVPNGFrameInfo *f = &info->apng_frames[++frame];
            tv_read_frame(data, c, f);
            f->chunk_index = i + 1;
            break;
        }
        case TV_CHUNK_fdAT:
            info->apng_frames[frame].chunk_num++;
            info->apng_frames[frame].chunk_size += size;
            break;
        case TV_CHUNK_IDAT:
            if (cover) {
                info->apng_frames[0].chunk_num++;
                info->apng_frames[0].chunk_size += size;
            }
            break;
        case TV_CHUNK_acTL:
            break;
        default:
            info->apng_shared_chunk_indexs[info->apng_shared_chunk_num++] = i;
            info->apng_shared_chunk_size += size;
            break;
        }
    }
    return true;
}

TVPNGInfo *TVParsePNGChunks(const uint8_t *data, uint32_t length) {
    if (!data || length < 32 || memcmp(data, kPNGSignature, 8) != 0) return NULL;
    TVPNGChunkInfo *chunks = NULL;
    uint32_t chunk_num = 0;
    if (!tv_scan_chunks(data, length, &chunks, &chunk_num)) return NULL;
    if (chunk_num < 3 || chunks[0].fourcc != TV_CHUNK_IHDR || chunks[0].length != 13) {
        free(chunks);
        return NULL;
    }
    TVPNGInfo *info = calloc(1, sizeof(TVPNGInfo));
    if (!info) {
        free(chunks);
        return NULL;
    }
    info->chunks = chunks;
    info->chunk_num = chunk_num;
    const uint8_t *ihdr = tv_chunk_data(data, &chunks[0]);
    info->header.width = tv_read_u32(ihdr);
    info->header.height = tv_read_u32(ihdr + 4);
    info->header.bit_depth = ihdr[8];
    info->header.color_type = ihdr[9];
    info->header.compression_method = ihdr[10];
    info->header.filter_method = ihdr[11];
    info->header.interlace_method = ihdr[12];

    uint32_t frame_num = 0, loop_num = 0;
    if (!tv_check_apng(data, info, &frame_num, &loop_num)) return info; /* a plain PNG */
    info->apng_loop_num = loop_num;
    if (!tv_build_apng(data, info, frame_num)) {
        TVFreePNGChunks(info);
        return NULL;
    }
    return info;
}

void TVFreePNGChunks(TVPNGInfo *info) {
    if (!info) return;
    free(info->chunks);
    free(info->apng_frames);
    free(info->apng_shared_chunk_indexs);
    free(info);
}

#ifndef IMAGE_CODEC_TVPNGCHUNKS_H
#define IMAGE_CODEC_TVPNGCHUNKS_H
/* The chunk structure of PNG data and, for a consistent animated PNG, its
 * frame table. Plain C: the decoder cuts animated PNGs into stand-alone
 * frame PNGs with it, the encoder finds the IDAT chunks of the PNGs it
 * assembles. All numbers are in host order. */

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    uint32_t offset; /* of the chunk's length field in the data */
    uint32_t fourcc; /* the four code bytes as stored, read big-endian */
    uint32_t length; /* of the chunk's data */
    uint32_t crc;
} TVPNGChunkInfo;

typedef struct {
    uint32_t chunk_index;  /* the first chunk after the frame's fcTL */
    uint32_t chunk_num;    /* data chunks of the frame (fdAT, or IDAT for the default image) */
    uint32_t chunk_size;   /* their bytes, framing included */
    uint32_t sequence;
    uint32_t width;
    uint32_t height;
    uint32_t offset_x;
    uint32_t offset_y;
    uint16_t delay_num;
    uint16_t delay_den;
    uint8_t dispose_op;
    uint8_t blend_op;
} TVPNGFrameInfo;

typedef struct {
    uint32_t width;
    uint32_t height;
    uint8_t bit_depth;
    uint8_t color_type;
    uint8_t compression_method;
    uint8_t filter_method;
    uint8_t interlace_method;
} TVPNGHeader;

typedef struct {
    TVPNGHeader header;

    TVPNGChunkInfo *chunks;
    uint32_t chunk_num;

    /* Empty for a plain PNG or an inconsistent animated one. */
    TVPNGFrameInfo *apng_frames;
    uint32_t apng_frame_num;
    uint32_t apng_loop_num;

    /* Every chunk that is no frame data (IHDR, IEND, ancillary chunks). */
    uint32_t *apng_shared_chunk_indexs;
    uint32_t apng_shared_chunk_num;
    uint32_t apng_shared_chunk_size; /* framing included */
    uint32_t apng_shared_insert_index; /* the first IDAT */
    bool apng_first_frame_is_cover;
} TVPNGInfo;

/* Four-character codes as read big-endian from the data. */
#define TV_FOUR_CC(a, b, c, d) \
    (((uint32_t)(uint8_t)(a) << 24) | ((uint32_t)(uint8_t)(b) << 16) | ((uint32_t)(uint8_t)(c) << 8) | (uint32_t)(uint8_t)(d))

/* A new record owned by the caller, or NULL for data that is no PNG. */
TVPNGInfo *TVParsePNGChunks(const uint8_t *data, uint32_t length);
/* Frees the record and its arrays; nothing for NULL. */
void TVFreePNGChunks(TVPNGInfo *info);

#ifdef __cplusplus
}
#endif

#endif

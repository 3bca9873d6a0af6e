// The TIFF output file: an uncompressed 8-bit greyscale image 250 pixels
// wide, written front to back in one pass: a 24-byte prologue (header and
// the two resolution values), the image rows, then the image file directory.
// Every multi-byte number is little-endian whatever the host.
#pragma once

#include <cstdint>

struct rt_file;

enum {
    TIFF_ROW_BYTES = 250,
    TIFF_PROLOGUE_BYTES = 24,
    TIFF_ENTRY_COUNT = 15,
    TIFF_DIRECTORY_BYTES = 2 + 12 * TIFF_ENTRY_COUNT + 4,   // 186
};

// One output row: one unsigned byte per pixel, column 0 first.
struct image_row {
    uint8_t pixels[TIFF_ROW_BYTES];
};

// The header: byte-order mark "II", 42, and the directory's offset.
struct tiff_header {
    uint8_t mark[2];
    uint8_t version[2];
    uint8_t directory_offset[4];
};

// A rational value: numerator, denominator.
struct tiff_rational {
    uint8_t numerator[4];
    uint8_t denominator[4];
};

// A directory entry: tag, field type, count, value field.
struct tiff_entry {
    uint8_t tag[2];
    uint8_t type[2];
    uint8_t count[4];
    uint8_t value[4];
};

struct tiff_directory {
    uint8_t entry_count[2];
    tiff_entry entries[TIFF_ENTRY_COUNT];
    uint8_t next_offset[4];
};

static_assert(sizeof(tiff_header) == 8, "header is 8 bytes");
static_assert(sizeof(tiff_rational) == 8, "rational is 8 bytes");
static_assert(sizeof(tiff_entry) == 12, "entry is 12 bytes");
static_assert(sizeof(tiff_directory) == TIFF_DIRECTORY_BYTES, "directory is 186 bytes");

// The directory's offset for an image of the given row count: 24 + 250 x rows,
// in unsigned 32-bit arithmetic.
uint32_t tiff_directory_offset(uint32_t rows);

// Fill the records for an image of the given row count.
void tiff_build_header(uint32_t rows, tiff_header* header);
void tiff_build_resolution(tiff_rational* resolution);
void tiff_build_directory(uint32_t rows, tiff_directory* directory);

// The writer's three steps, always in this order on one open file: the
// prologue (three writes), one row per call (one write of 250 bytes), and
// the directory (three writes).  Each returns 1 when every byte was accepted
// by the stream, 0 otherwise.
int tiff_write_prologue(rt_file* file, uint32_t rows);
int tiff_write_row(rt_file* file, const image_row& row);
int tiff_write_directory(rt_file* file, uint32_t rows);

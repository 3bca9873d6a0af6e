// The TIFF writer: every byte of the output file's prologue and directory.
#include "app/tiff_writer.h"

#include "runtime/runtime.h"

namespace {

enum : uint16_t {
    TYPE_ASCII = 2,
    TYPE_SHORT = 3,
    TYPE_LONG = 4,
    TYPE_RATIONAL = 5,
};

// The records of the file being written, prepared afresh for every file.
tiff_header current_header;
tiff_rational current_resolution;
tiff_directory current_directory;

void put16(uint8_t* out, uint16_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

void set_entry(tiff_entry* entry, uint16_t tag, uint16_t type, uint32_t value)
{
    put16(entry->tag, tag);
    put16(entry->type, type);
    put32(entry->count, 1);
    if (type == TYPE_SHORT) {
        put16(entry->value, static_cast<uint16_t>(value));
        entry->value[2] = 0;
        entry->value[3] = 0;
    } else {
        put32(entry->value, value);
    }
}

}  // namespace

uint32_t tiff_directory_offset(uint32_t rows)
{
    return TIFF_PROLOGUE_BYTES + TIFF_ROW_BYTES * rows;
}

void tiff_build_header(uint32_t rows, tiff_header* header)
{
    header->mark[0] = 0x49;
    header->mark[1] = 0x49;
    put16(header->version, 42);
    put32(header->directory_offset, tiff_directory_offset(rows));
}

void tiff_build_resolution(tiff_rational* resolution)
{
    // Ten pixels per unit over a zero denominator: kept exactly so, since
    // files already written this way must keep comparing equal.
    put32(resolution->numerator, 10);
    put32(resolution->denominator, 0);
}

void tiff_build_directory(uint32_t rows, tiff_directory* directory)
{
    put16(directory->entry_count, TIFF_ENTRY_COUNT);
    tiff_entry* e = directory->entries;
    set_entry(&e[0], 254, TYPE_LONG, 0);                 // NewSubfileType
    set_entry(&e[1], 256, TYPE_LONG, TIFF_ROW_BYTES);    // ImageWidth
    set_entry(&e[2], 257, TYPE_LONG, rows);              // ImageLength
    set_entry(&e[3], 258, TYPE_SHORT, 8);                // BitsPerSample
    set_entry(&e[4], 259, TYPE_SHORT, 1);                // Compression: none
    set_entry(&e[5], 262, TYPE_SHORT, 0);                // Photometric: WhiteIsZero
    set_entry(&e[6], 270, TYPE_ASCII, 8);                // ImageDescription: the one byte 0x08
    set_entry(&e[7], 273, TYPE_LONG, TIFF_PROLOGUE_BYTES);   // StripOffsets
    set_entry(&e[8], 274, TYPE_SHORT, 1);                // Orientation: top left
    set_entry(&e[9], 277, TYPE_SHORT, 1);                // SamplesPerPixel
    set_entry(&e[10], 278, TYPE_LONG, rows);             // RowsPerStrip
    set_entry(&e[11], 279, TYPE_LONG, TIFF_ROW_BYTES * rows);   // StripByteCounts
    set_entry(&e[12], 282, TYPE_RATIONAL, 8);            // XResolution, at offset 8
    set_entry(&e[13], 283, TYPE_RATIONAL, 16);           // YResolution, at offset 16
    set_entry(&e[14], 296, TYPE_SHORT, 1);               // ResolutionUnit: none
    put32(directory->next_offset, 0);
}

int tiff_write_prologue(rt_file* file, uint32_t rows)
{
    tiff_build_header(rows, &current_header);
    tiff_build_resolution(&current_resolution);
    size_t written = rt_fwrite(&current_header, sizeof current_header, 1, file);
    written += rt_fwrite(&current_resolution, sizeof current_resolution, 1, file);
    written += rt_fwrite(&current_resolution, sizeof current_resolution, 1, file);
    return written == 3 ? 1 : 0;
}

int tiff_write_row(rt_file* file, const image_row& row)
{
    return rt_fwrite(row.pixels, 1, TIFF_ROW_BYTES, file) == TIFF_ROW_BYTES ? 1 : 0;
}

int tiff_write_directory(rt_file* file, uint32_t rows)
{
    tiff_build_directory(rows, &current_directory);
    size_t written = rt_fwrite(current_directory.entry_count, 2, 1, file);
    written += rt_fwrite(current_directory.entries, sizeof current_directory.entries, 1, file);
    written += rt_fwrite(current_directory.next_offset, 4, 1, file);
    return written == 3 ? 1 : 0;
}

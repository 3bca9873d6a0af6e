// The scanning instrument's input files: the control file scaninfo.dat and
// the numbered scan files N.bin.  Every 16-bit value in them is big-endian.
#pragma once

#include <cstdint>

// The control record: the first 36 bytes of scaninfo.dat.  Only the image
// length (bytes 4-5, signed, in units of ten rows) is interpreted.
struct scan_info {
    uint8_t unused_head[4];
    uint16_t length_tens;       // as stored: big-endian
    uint8_t unused_tail[30];
};
static_assert(sizeof(scan_info) == 36, "the control record is 36 bytes");

enum {
    SCAN_VALUES = 121,          // values in one scan record
    SCAN_FIRST_DISCARDED = 1,   // values 1 to 12 never reach the image
    SCAN_LAST_DISCARDED = 12,
    SCAN_LAST_SAMPLE = 119,     // value 120 is not used
    SCAN_MAX_Z_ELEV = 130,
    SCAN_ROW_LIMIT = 400,       // a row count must stay below this
};

// One scan record: 121 big-endian 16-bit values.  Value 0 is z_elev, the
// column at which the samples are placed; values 1 to 119 are samples.
struct scan_record {
    uint16_t values[SCAN_VALUES];   // as stored: big-endian
};
static_assert(sizeof(scan_record) == 242, "a scan record is 242 bytes");

// Exchanges the two bytes of a 16-bit value.
uint16_t swap16(uint16_t value);

// Decodes a big-endian 16-bit value as it lies in memory, whatever the host.
uint16_t scan_decode16(const uint16_t& stored);

// The control record's length field, sign included.
int16_t scan_length_tens(const scan_info& info);

// The row count: ten times the length field, as an unsigned 32-bit number
// (a negative length therefore gives a very large count).
uint32_t scan_row_count(const scan_info& info);

// True when a row count is small enough to convert.
bool scan_rows_acceptable(uint32_t rows);

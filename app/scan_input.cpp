// Decoding of the control record and the scan records.
#include "app/scan_input.h"

#include <cstring>

uint16_t swap16(uint16_t value)
{
    return static_cast<uint16_t>((value << 8) | (value >> 8));
}

uint16_t scan_decode16(const uint16_t& stored)
{
    uint8_t bytes[2];
    std::memcpy(bytes, &stored, 2);
    return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

int16_t scan_length_tens(const scan_info& info)
{
    return static_cast<int16_t>(scan_decode16(info.length_tens));
}

uint32_t scan_row_count(const scan_info& info)
{
    int32_t tens = scan_length_tens(info);
    return static_cast<uint32_t>(tens) * 10u;
}

bool scan_rows_acceptable(uint32_t rows)
{
    return rows < SCAN_ROW_LIMIT;
}

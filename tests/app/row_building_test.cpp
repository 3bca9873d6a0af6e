// Decoding the scan files and building image rows from scan records.
#include <gtest/gtest.h>

#include <cstring>

#include "app/conversion.h"
#include "scan_files.h"

namespace {

using namespace scan_test;

scan_record stored(const record& values)
{
    scan_record r;
    std::vector<uint8_t> bytes = encode({values});
    std::memcpy(r.values, bytes.data(), sizeof r.values);
    return r;
}

uint32_t rows_for(uint8_t high, uint8_t low)
{
    scan_info info;
    std::memset(&info, 0xFF, sizeof info);
    const uint8_t length[2] = {high, low};
    std::memcpy(reinterpret_cast<uint8_t*>(&info) + 4, length, 2);
    return scan_row_count(info);
}

TEST(ScanInput, RowCountFromControlRecord)
{
    EXPECT_EQ(rows_for(0x00, 0x0A), 100u);
    EXPECT_EQ(rows_for(0x00, 0x27), 390u);
    EXPECT_EQ(rows_for(0x00, 0x28), 400u);
    EXPECT_EQ(rows_for(0xFF, 0xFF), 4294967286u);
    EXPECT_EQ(rows_for(0x80, 0x00), 4294639616u);   // -32768 tens
    EXPECT_EQ(rows_for(0x00, 0x00), 0u);
    EXPECT_TRUE(scan_rows_acceptable(390));
    EXPECT_FALSE(scan_rows_acceptable(400));
    EXPECT_FALSE(scan_rows_acceptable(4294967286u));
    EXPECT_EQ(swap16(0x1234), 0x3412);
}

TEST(RowBuilding, FlatSamplesAtBothEndsOfTheRange)
{
    for (uint16_t z : {0, 57, 130}) {
        scan_record r = stored(flat_record(z, 200));
        image_row row;
        uint16_t z_elev = 0;
        ASSERT_EQ(build_image_row(&r, &row, &z_elev), 1);
        EXPECT_EQ(z_elev, z);
        for (int c = 0; c < 250; ++c) {
            bool lit = c >= z + 13 && c <= z + 119;
            ASSERT_EQ(row.pixels[c], lit ? 200 : 0) << "z_elev " << z << " column " << c;
        }
    }
}

TEST(RowBuilding, SamplesAreLimitedTo255)
{
    record values = flat_record(0, 0);
    values[13] = 0x0102;
    values[14] = 0x00FF;
    values[15] = 0x0080;
    values[16] = 0xFFFF;
    values[119] = 300;
    values[120] = 0x7777;   // never used
    scan_record r = stored(values);
    image_row row;
    uint16_t z_elev;
    ASSERT_EQ(build_image_row(&r, &row, &z_elev), 1);
    EXPECT_EQ(row.pixels[13], 255);
    EXPECT_EQ(row.pixels[14], 255);
    EXPECT_EQ(row.pixels[15], 128);
    EXPECT_EQ(row.pixels[16], 255);
    EXPECT_EQ(row.pixels[119], 255);
    EXPECT_EQ(row.pixels[120], 0);
    // The discarded values are cleared in the record itself.
    for (int i = 1; i <= 12; ++i) EXPECT_EQ(r.values[i], 0) << i;
}

TEST(RowBuilding, ZElevPastTheLastColumnIsRefused)
{
    for (uint16_t z : {131, 1000, 65535}) {
        scan_record r = stored(flat_record(z, 9));
        image_row row;
        uint16_t z_elev = 0;
        EXPECT_EQ(build_image_row(&r, &row, &z_elev), 0);
        EXPECT_EQ(z_elev, z);
    }
}

}  // namespace

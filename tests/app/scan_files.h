// Helpers for the converter's tests: scratch folders, scan files written as
// the instrument writes them (big-endian), and an independent check of TIFF
// files through libtiff.
#pragma once

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace scan_test {

namespace fs = std::filesystem;

// One scan record as 121 values; [0] is z_elev.
using record = std::vector<uint16_t>;

// A record with z_elev and every sample set to one value; the discarded
// values 1 to 12 hold rubbish that must never reach the image.
inline record flat_record(uint16_t z_elev, uint16_t sample)
{
    record values(121, sample);
    values[0] = z_elev;
    for (int i = 1; i <= 12; ++i) values[i] = static_cast<uint16_t>(0xBEEF + i);
    return values;
}

// A record that differs from row to row, with samples past 255 now and then.
inline record pattern_record(int row)
{
    record values(121);
    values[0] = static_cast<uint16_t>((row * 37) % 131);
    for (int i = 1; i < 121; ++i) values[i] = static_cast<uint16_t>((i * 5 + row * 11) % 320);
    return values;
}

inline std::vector<record> pattern_records(int rows)
{
    std::vector<record> records;
    for (int r = 0; r < rows; ++r) records.push_back(pattern_record(r));
    return records;
}

inline std::vector<uint8_t> encode(const std::vector<record>& records)
{
    std::vector<uint8_t> bytes;
    for (const record& values : records) {
        for (uint16_t v : values) {
            bytes.push_back(static_cast<uint8_t>(v >> 8));
            bytes.push_back(static_cast<uint8_t>(v));
        }
    }
    return bytes;
}

// The control record with the length field (tens of rows) at bytes 4-5.
inline std::vector<uint8_t> control(int16_t length_tens, size_t size = 36)
{
    std::vector<uint8_t> bytes(std::max<size_t>(size, 6), 0xA5);
    bytes[4] = static_cast<uint8_t>(static_cast<uint16_t>(length_tens) >> 8);
    bytes[5] = static_cast<uint8_t>(length_tens);
    bytes.resize(size);
    return bytes;
}

inline void write_bytes(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << path;
}

inline std::vector<uint8_t> read_bytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// The row a record must give: sample i at column z_elev + i for i from 13 to
// 119, limited to 255; everything else 0.
inline std::vector<uint8_t> expected_row(const record& values)
{
    std::vector<uint8_t> row(250, 0);
    for (int i = 13; i <= 119; ++i) row[values[0] + i] = static_cast<uint8_t>(std::min<int>(values[i], 255));
    return row;
}

// The prologue and the rows of records [0, count), as the file must hold them.
inline std::vector<uint8_t> expected_front(uint32_t rows, const std::vector<record>& records, size_t count)
{
    uint32_t d = 24 + 250 * rows;
    std::vector<uint8_t> bytes = {0x49, 0x49, 42, 0, uint8_t(d), uint8_t(d >> 8), uint8_t(d >> 16), uint8_t(d >> 24),
                                  10, 0, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0};
    for (size_t r = 0; r < count; ++r) {
        std::vector<uint8_t> row = expected_row(records[r]);
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

// Opens a TIFF file with libtiff and checks its tags and every pixel against
// the records it was made from.
inline void check_tiff(const fs::path& path, const std::vector<record>& records)
{
    TIFFSetWarningHandler(nullptr);   // the one-byte description and the 10/0 resolutions
    TIFF* tiff = TIFFOpen(path.c_str(), "rc");   // "c": report the one strip as written
    ASSERT_NE(tiff, nullptr) << path;
    uint32_t width = 0, length = 0, rows_per_strip = 0;
    uint16_t bits = 0, samples = 0, photometric = 9, compression = 0, orientation = 0;
    EXPECT_TRUE(TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width));
    EXPECT_TRUE(TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &length));
    EXPECT_TRUE(TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &rows_per_strip));
    EXPECT_TRUE(TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits));
    EXPECT_TRUE(TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples));
    EXPECT_TRUE(TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric));
    EXPECT_TRUE(TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression));
    EXPECT_TRUE(TIFFGetField(tiff, TIFFTAG_ORIENTATION, &orientation));
    EXPECT_EQ(width, 250u);
    EXPECT_EQ(length, records.size());
    EXPECT_EQ(rows_per_strip, records.size());
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(photometric, PHOTOMETRIC_MINISWHITE);
    EXPECT_EQ(compression, COMPRESSION_NONE);
    EXPECT_EQ(orientation, ORIENTATION_TOPLEFT);
    EXPECT_EQ(TIFFScanlineSize(tiff), 250);
    std::vector<uint8_t> line(250);
    for (uint32_t r = 0; r < length && r < records.size(); ++r) {
        ASSERT_EQ(TIFFReadScanline(tiff, line.data(), r, 0), 1) << "row " << r;
        ASSERT_EQ(line, expected_row(records[r])) << path << " row " << r;
    }
    EXPECT_FALSE(TIFFReadDirectory(tiff));   // a single image
    TIFFClose(tiff);
}

// A fresh folder under the system's temporary folder, made the working
// folder for the life of the object and removed afterwards.
class scratch_folder {
public:
    scratch_folder()
    {
        char pattern[] = "/tmp/rastrel-test.XXXXXX";
        if (!mkdtemp(pattern)) {
            throw std::runtime_error("cannot make a scratch folder");
        }
        root_ = pattern;
        previous_ = fs::current_path();
        fs::current_path(root_);
    }
    ~scratch_folder()
    {
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const fs::path& path() const { return root_; }

    // The names in the folder, sorted.
    std::vector<std::string> names() const
    {
        std::vector<std::string> list;
        for (const auto& entry : fs::directory_iterator(root_)) list.push_back(entry.path().filename());
        std::sort(list.begin(), list.end());
        return list;
    }

private:
    fs::path root_;
    fs::path previous_;
};

}  // namespace scan_test

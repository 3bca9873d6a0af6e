// Writes a sample scan set into a folder: the control file scaninfo.dat and
// six numbered scan files of 390 records whose samples draw recognisable
// pictures, plus FOLDER/bad/ with one folder for each kind of bad input.
//
//   make_samples FOLDER
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const int width = 250;        // output row
const int sample_count = 121; // 16-bit values per record
const int max_z_elev = 130;

// A fixed pseudo-random sequence, so every run writes the same bytes.
uint32_t noise_state = 12345;
uint16_t noise()
{
    noise_state = noise_state * 1103515245u + 12345u;
    return static_cast<uint16_t>(noise_state >> 16);
}

void put_be16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

bool write_file(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// The control record: 36 bytes, the image length in tens of rows at bytes 4-5.
std::vector<uint8_t> control_record(int16_t length_tens, size_t size = 36)
{
    std::vector<uint8_t> bytes = {'S', 'C', 'N', '1'};
    put_be16(bytes, static_cast<uint16_t>(length_tens));
    // Instrument settings the converter does not interpret.
    for (int i = 0; bytes.size() < 36; ++i) {
        bytes.push_back(static_cast<uint8_t>(0x40 + i));
    }
    bytes.resize(size);
    return bytes;
}

// One record: z_elev, then samples 1 to 120.  Value i lands at column
// z_elev + i; values 1 to 12 are discarded by the converter (noise here) and
// value 120 is unused.
void append_record(std::vector<uint8_t>& out, uint16_t z_elev, int row, int (*picture)(int x, int y))
{
    put_be16(out, z_elev);
    for (int i = 1; i < sample_count; ++i) {
        uint16_t sample;
        if (i <= 12 || i == 120) {
            sample = noise();
        } else {
            int value = picture(z_elev + i, row);
            // The instrument reports more than 8 bits; the converter limits
            // samples to 255, so a few values above it are realistic.
            sample = static_cast<uint16_t>(value < 0 ? 0 : value);
        }
        put_be16(out, sample);
    }
}

// Pictures: pixel value at column x, row y (0 white, 255 black).
int gradient(int x, int y)
{
    return (x * 255 / (width - 1) + y * 255 / 389) / 2;
}

int disc(int x, int y)
{
    double dx = x - 125.0, dy = y - 195.0;
    double d = std::sqrt(dx * dx + dy * dy);
    if (d < 40) return 300;        // saturates to black
    if (d < 55) return 40;
    if (d < 60) return 220;
    return 0;
}

int checkerboard(int x, int y)
{
    return ((x / 16 + y / 16) % 2) ? 230 : 20;
}

int rings(int x, int y)
{
    double dx = x - 125.0, dy = y - 195.0;
    double d = std::sqrt(dx * dx + dy * dy);
    return static_cast<int>(127.5 + 127.5 * std::sin(d / 6.0));
}

int bars(int x, int y)
{
    if (std::abs((x - 60) - (y * 150 / 389)) < 3) return 255;   // a diagonal line
    return (x / 25) * 25;
}

int mountain(int x, int y)
{
    int peak = 80 + std::abs(x - 125) * 2;       // the mountain's outline
    double sx = x - 60.0, sy = y - 35.0;         // a sun in the sky
    if (sx * sx + sy * sy < 22.0 * 22.0) return 170;
    if (y > peak) return 90 + (y - peak) / 3;
    return 0;
}

struct sample_image {
    int (*picture)(int, int);
    uint16_t (*z_elev)(int row);
};

uint16_t z_fixed(int) { return 60; }
uint16_t z_centre(int) { return 65; }
uint16_t z_slant(int row) { return static_cast<uint16_t>(row * max_z_elev / 389); }
uint16_t z_wave(int row) { return static_cast<uint16_t>(65.0 + 65.0 * std::sin(row * 2.0 * M_PI / 130.0)); }
uint16_t z_descending(int row) { return static_cast<uint16_t>(max_z_elev - row / 3); }
uint16_t z_steps(int row) { return static_cast<uint16_t>((row / 65) * 26); }

const sample_image images[] = {
    {gradient, z_fixed},  {disc, z_centre},      {checkerboard, z_slant},
    {rings, z_wave},      {bars, z_descending},  {mountain, z_steps},
};

std::vector<uint8_t> scan_file(const sample_image& image, int rows)
{
    std::vector<uint8_t> bytes;
    for (int y = 0; y < rows; ++y) {
        append_record(bytes, image.z_elev(y), y, image.picture);
    }
    return bytes;
}

// Records of a small plain image with an optional out-of-bounds z_elev.
std::vector<uint8_t> small_scan(int rows, int bad_row = -1)
{
    std::vector<uint8_t> bytes;
    for (int y = 0; y < rows; ++y) {
        append_record(bytes, y == bad_row ? 131 : 40, y, gradient);
    }
    return bytes;
}

bool make_bad_set(const fs::path& bad)
{
    bool ok = true;
    auto folder = [&](const char* name) {
        fs::path path = bad / name;
        fs::create_directories(path);
        return path;
    };
    const std::vector<uint8_t> ten_rows = control_record(1);

    // "Could not open scaninfo.dat"
    fs::path p = folder("no_control_file");
    ok &= write_file(p / "0.bin", small_scan(10));

    // "Error reading scaninfo.bin": one byte short of a control record.
    p = folder("short_control_file");
    ok &= write_file(p / "scaninfo.dat", control_record(1, 35));
    ok &= write_file(p / "0.bin", small_scan(10));

    // "Image length to large: 400", leaving an empty 0.tif.
    p = folder("too_many_rows");
    ok &= write_file(p / "scaninfo.dat", control_record(40));
    ok &= write_file(p / "0.bin", small_scan(400));

    // "Image length to large: 4294967286": a negative length.
    p = folder("negative_length");
    ok &= write_file(p / "scaninfo.dat", control_record(-1));
    ok &= write_file(p / "0.bin", small_scan(10));

    // "Error reading 0.bin" at row 3: three records and half of a fourth.
    p = folder("truncated_scan_file");
    ok &= write_file(p / "scaninfo.dat", ten_rows);
    std::vector<uint8_t> truncated = small_scan(4);
    truncated.resize(3 * 242 + 121);
    ok &= write_file(p / "0.bin", truncated);

    // "Error: z_elev out of bounds 131row 5"
    p = folder("z_elev_out_of_bounds");
    ok &= write_file(p / "scaninfo.dat", ten_rows);
    ok &= write_file(p / "0.bin", small_scan(10, 5));

    // 0.bin and 1.bin convert; the run stops at 2.bin and never sees 3.bin.
    p = folder("gap_in_numbering");
    ok &= write_file(p / "scaninfo.dat", ten_rows);
    ok &= write_file(p / "0.bin", small_scan(10));
    ok &= write_file(p / "1.bin", small_scan(10));
    ok &= write_file(p / "3.bin", small_scan(10));

    // A control file but no scan files: nothing is converted.
    p = folder("no_scan_files");
    ok &= write_file(p / "scaninfo.dat", ten_rows);

    // "Could not open 0.tif": the output name is taken by a folder.
    p = folder("output_name_taken");
    ok &= write_file(p / "scaninfo.dat", ten_rows);
    ok &= write_file(p / "0.bin", small_scan(10));
    fs::create_directories(p / "0.tif");

    // The control file is a folder.
    p = folder("control_file_is_folder");
    fs::create_directories(p / "scaninfo.dat");
    ok &= write_file(p / "0.bin", small_scan(10));

    // The first scan file is a folder.
    p = folder("scan_file_is_folder");
    ok &= write_file(p / "scaninfo.dat", ten_rows);
    fs::create_directories(p / "0.bin");
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_samples FOLDER\n");
        return 2;
    }
    fs::path root = argv[1];
    std::error_code error;
    fs::create_directories(root, error);
    if (error) {
        std::fprintf(stderr, "make_samples: cannot create %s: %s\n", root.c_str(), error.message().c_str());
        return 1;
    }
    bool ok = write_file(root / "scaninfo.dat", control_record(39));   // 390 rows
    int number = 0;
    for (const sample_image& image : images) {
        ok &= write_file(root / (std::to_string(number++) + ".bin"), scan_file(image, 390));
    }
    try {
        ok &= make_bad_set(root / "bad");
    } catch (const fs::filesystem_error& e) {
        std::fprintf(stderr, "make_samples: %s\n", e.what());
        ok = false;
    }
    return ok ? 0 : 1;
}

// make_icons FOLDER SIZE...: writes the application icon (data/icon.h) as
// FOLDER/SIZExSIZE/apps/rastrel.png for each size, the desktop's icon theme
// layout.  The PNG files are grey with alpha, stored without compression.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "data/icon.h"

namespace {

uint32_t crc32(const uint8_t* data, size_t length, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBig32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void chunk(std::vector<uint8_t>& file, const char* type, const std::vector<uint8_t>& data)
{
    putBig32(file, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    file.insert(file.end(), typed.begin(), typed.end());
    putBig32(file, crc32(typed.data(), typed.size()));
}

// The image data as a zlib stream of stored (uncompressed) blocks.
std::vector<uint8_t> zlibStored(const std::vector<uint8_t>& raw)
{
    std::vector<uint8_t> out = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t length = raw.size() - at < 65535 ? raw.size() - at : 65535;
        out.push_back(at + length == raw.size() ? 1 : 0);
        out.push_back(static_cast<uint8_t>(length));
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(~length));
        out.push_back(static_cast<uint8_t>(~length >> 8));
        out.insert(out.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + length));
        at += length;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBig32(out, (b << 16) | a);
    return out;
}

std::vector<uint8_t> png(int size)
{
    std::vector<uint8_t> raw;
    for (int row = 0; row < size; ++row) {
        raw.push_back(0);   // no filter
        for (int column = 0; column < size; ++column) {
            const iconPixel pixel = iconPixelAt(size, row, column);
            raw.push_back(pixel.grey);
            raw.push_back(pixel.alpha);
        }
    }
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> header;
    putBig32(header, static_cast<uint32_t>(size));
    putBig32(header, static_cast<uint32_t>(size));
    header.insert(header.end(), {8, 4, 0, 0, 0});   // 8 bits, grey with alpha
    chunk(file, "IHDR", header);
    chunk(file, "IDAT", zlibStored(raw));
    chunk(file, "IEND", {});
    return file;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER SIZE...\n", argv[0]);
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "%s: bad size %s\n", argv[0], argv[i]);
            return 2;
        }
        const std::string folder = std::string(argv[1]) + "/" + argv[i] + "x" + argv[i] + "/apps";
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        const std::vector<uint8_t> file = png(size);
        const std::string path = folder + "/rastrel.png";
        std::FILE* out = std::fopen(path.c_str(), "wb");
        const bool written = out && std::fwrite(file.data(), 1, file.size(), out) == file.size();
        if (!out || std::fclose(out) != 0 || !written) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
            return 1;
        }
    }
    return 0;
}

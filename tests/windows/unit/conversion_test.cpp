// The converter on Windows files: images written byte for byte (no CR in
// front of a 10), the run's messages through the console's CR LF, every file
// closed after the run, and the failures that Windows' own file rules cause.
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/conversion.h"
#include "runtime/runtime.h"
#include "tests/windows/unit/support.h"

namespace {

using wintest::readFile;
using wintest::ScratchFolder;
using wintest::writeFile;

std::string captured;

void capture(const char* bytes, uint32_t count)
{
    captured.append(bytes, count);
}

int noInput(char*, uint32_t, uint32_t* count)
{
    *count = 0;
    return 1;
}

// The control record for rows / 10 tens of rows.
std::string control(int tens)
{
    std::string bytes(36, '\xA5');
    bytes[4] = static_cast<char>(tens >> 8);
    bytes[5] = static_cast<char>(tens);
    return bytes;
}

// One big-endian scan record: z_elev, then 120 samples from one value.
std::string record(uint16_t zElev, uint16_t sample)
{
    std::string bytes;
    for (int i = 0; i < 121; ++i) {
        const uint16_t value = i == 0 ? zElev : static_cast<uint16_t>(sample + i % 5);
        bytes += static_cast<char>(value >> 8);
        bytes += static_cast<char>(value);
    }
    return bytes;
}

class WindowsConversion : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(rt_startup(), 1);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_.path());
        captured.clear();
        rt_attach_console(capture, noInput);
    }
    void TearDown() override
    {
        rt_detach_console();
        std::filesystem::current_path(previous_);
        EXPECT_EQ(rt_open_stream_count(), 3);   // every file of the run closed
    }
    std::string run()
    {
        captured.clear();
        convert_scans();
        rt::cout.flush();
        return captured;
    }

    ScratchFolder folder_;
    std::filesystem::path previous_;
};

TEST_F(WindowsConversion, ImagesAreWrittenByteForByte)
{
    // Samples around 10 and 13 put LF and CR bytes into the image.
    std::string scans;
    for (int row = 0; row < 10; ++row) {
        scans += record(static_cast<uint16_t>(row * 3), static_cast<uint16_t>(row % 2 ? 10 : 13));
    }
    writeFile("scaninfo.dat", control(1));
    writeFile("0.bin", scans);

    EXPECT_EQ(run(), "36\r\nWriting TIFF file 0\r\nCould not open 1.bin");
    const std::string image = readFile("0.tif");
    ASSERT_EQ(image.size(), 2710u);
    EXPECT_EQ(image.substr(0, 4), std::string("II*\0", 4));
    for (int row = 0; row < 10; ++row) {
        scan_record input;
        std::memcpy(&input, scans.data() + row * 242, 242);
        image_row expected;
        uint16_t zElev = 0;
        ASSERT_EQ(build_image_row(&input, &expected, &zElev), 1);
        EXPECT_EQ(image.compare(24 + row * 250, 250, reinterpret_cast<const char*>(expected.pixels), 250), 0)
            << "row " << row;
    }
    // Closed: the file can be replaced at once.
    EXPECT_TRUE(DeleteFileA("0.tif"));
}

TEST_F(WindowsConversion, NamesTakenOrLockedByWindowsRulesGiveTheirMessages)
{
    CreateDirectoryA("scaninfo.dat", nullptr);
    EXPECT_EQ(run(), "\r\nCould not open scaninfo.dat");
    RemoveDirectoryA("scaninfo.dat");

    writeFile("scaninfo.dat", control(1));
    CreateDirectoryA("0.bin", nullptr);
    EXPECT_EQ(run(), "36\r\nCould not open 0.bin");
    RemoveDirectoryA("0.bin");

    writeFile("0.bin", record(0, 100) + record(0, 100));
    CreateDirectoryA("0.tif", nullptr);
    EXPECT_EQ(run(), "36\r\nCould not open 0.tif");
    RemoveDirectoryA("0.tif");

    // A read-only file.  (Wine keeps the attribute as the Unix file's
    // permissions, which do not stop root: there the check cannot be made.)
    writeFile("0.tif", "older");
    SetFileAttributesA("0.tif", FILE_ATTRIBUTE_READONLY);
    HANDLE probe = CreateFileA("0.tif", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        EXPECT_EQ(run(), "36\r\nCould not open 0.tif");
        EXPECT_EQ(readFile("0.tif"), "older");
    } else {
        CloseHandle(probe);
        std::printf("(read-only files are writable for this user: not checked)\n");
    }
    SetFileAttributesA("0.tif", FILE_ATTRIBUTE_NORMAL);

    // The scan file ends after two of ten rows.
    EXPECT_EQ(run(), "36\r\nWriting TIFF file 0\r\nError reading 0.bin\r\nrow = 2");
}

}  // namespace

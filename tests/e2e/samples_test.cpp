// The sample generator's scan set, converted by the program: the good set
// gives one readable image per scan file, each bad folder its own message.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <map>

#include "scan_files.h"

namespace {

using namespace scan_test;

const std::string menu =
    "\n\n\nRastrel 1.0\n1 - Convert scan file to TIFF.\n9 - Exit.\n\nEnter Selection: ";

// The program's output for one selection 1 in folder, without the menus.
std::string convert_in(const fs::path& folder)
{
    std::string command = "cd '" + folder.string() + "' && printf '1\\n' | " RASTREL_BINARY;
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "popen failed";
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << folder;
    if (output.size() < 2 * menu.size() || output.compare(0, menu.size(), menu) != 0 ||
        output.compare(output.size() - menu.size(), menu.size(), menu) != 0) {
        return "unexpected transcript: " + output;
    }
    return output.substr(menu.size(), output.size() - 2 * menu.size());
}

std::vector<record> decode(const std::vector<uint8_t>& bytes, size_t rows)
{
    std::vector<record> records;
    for (size_t r = 0; r < rows && (r + 1) * 242 <= bytes.size(); ++r) {
        record values(121);
        for (int i = 0; i < 121; ++i) values[i] = static_cast<uint16_t>(bytes[r * 242 + 2 * i] << 8 | bytes[r * 242 + 2 * i + 1]);
        records.push_back(values);
    }
    return records;
}

class SampleSet : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string command = MAKE_SAMPLES_BINARY " '" + set().string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    fs::path set() const { return root_.path() / "samples"; }
    scratch_folder root_;
};

TEST_F(SampleSet, EveryPictureConverts)
{
    EXPECT_EQ(convert_in(set()),
              "36\nWriting TIFF file 0\nWriting TIFF file 1\nWriting TIFF file 2\nWriting TIFF file 3"
              "\nWriting TIFF file 4\nWriting TIFF file 5\nCould not open 6.bin");
    for (int n = 0; n < 6; ++n) {
        std::vector<record> records = decode(read_bytes(set() / (std::to_string(n) + ".bin")), 390);
        ASSERT_EQ(records.size(), 390u);
        check_tiff(set() / (std::to_string(n) + ".tif"), records);
    }
}

TEST_F(SampleSet, EveryBadKindShowsItsMessage)
{
    const std::map<std::string, std::string> expected = {
        {"no_control_file", "\nCould not open scaninfo.dat"},
        {"short_control_file", "36\nError reading scaninfo.bin"},
        {"too_many_rows", "36\nWriting TIFF file 0\nImage length to large: 400"},
        {"negative_length", "36\nWriting TIFF file 0\nImage length to large: 4294967286"},
        {"truncated_scan_file", "36\nWriting TIFF file 0\nError reading 0.bin\nrow = 3"},
        {"z_elev_out_of_bounds", "36\nWriting TIFF file 0\nError: z_elev out of bounds 131row 5"},
        {"gap_in_numbering", "36\nWriting TIFF file 0\nWriting TIFF file 1\nCould not open 2.bin"},
        {"no_scan_files", "36\nCould not open 0.bin"},
        {"output_name_taken", "36\nCould not open 0.tif"},
        {"control_file_is_folder", "\nCould not open scaninfo.dat"},
        {"scan_file_is_folder", "36\nCould not open 0.bin"},
    };
    size_t folders = 0;
    for (const auto& entry : fs::directory_iterator(set() / "bad")) {
        ++folders;
        std::string name = entry.path().filename();
        ASSERT_TRUE(expected.count(name)) << "no expectation for " << name;
        EXPECT_EQ(convert_in(entry.path()), expected.at(name)) << name;
    }
    EXPECT_EQ(folders, expected.size());
}

}  // namespace

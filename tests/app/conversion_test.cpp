// The conversion run in a scratch folder: messages, files left on disk and
// files closed, for the ordinary end and for every failure.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/conversion.h"
#include "runtime/runtime.h"
#include "scan_files.h"

namespace {

using namespace scan_test;

std::string captured;
std::vector<std::string> pieces;   // one per call of the console's write hook

void record_output(const char* bytes, uint32_t count)
{
    captured.append(bytes, count);
    pieces.emplace_back(bytes, count);
}

int no_input(char*, uint32_t, uint32_t* count)
{
    *count = 0;
    return 1;
}

int open_descriptors()
{
    int count = 0;
    for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it) ++count;
    return count;
}

// Caps the size of files this process writes, for the life of the object; a
// write past the cap then fails instead of ending the process.
class file_size_limit {
public:
    explicit file_size_limit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &previous_);
        struct rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
        previous_handler_ = signal(SIGXFSZ, SIG_IGN);
    }
    ~file_size_limit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        signal(SIGXFSZ, previous_handler_);
    }

private:
    struct rlimit previous_;
    sighandler_t previous_handler_;
};

class Conversion : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static const int started = rt_startup();
        ASSERT_EQ(started, 1);
    }
    void SetUp() override
    {
        captured.clear();
        rt_attach_console(record_output, no_input);
        descriptors_ = open_descriptors();
    }
    void TearDown() override
    {
        rt_detach_console();
        // Every file the run opened has been closed again.
        EXPECT_EQ(rt_open_stream_count(), 3);
        EXPECT_EQ(open_descriptors(), descriptors_);
    }

    // One run; its output with the console's CR LF line ends back to LF.
    std::string run()
    {
        captured.clear();
        pieces.clear();
        convert_scans();
        rt::cout.flush();
        std::string text;
        for (size_t i = 0; i < captured.size(); ++i) {
            if (!(captured[i] == '\r' && i + 1 < captured.size() && captured[i + 1] == '\n')) text += captured[i];
        }
        return text;
    }

    scratch_folder folder_;
    int descriptors_ = 0;
};

TEST_F(Conversion, ConvertsEveryNumberedFileUpToTheFirstGap)
{
    std::vector<record> first = pattern_records(10), second;
    for (int r = 0; r < 10; ++r) second.push_back(pattern_record(r + 50));
    write_bytes("scaninfo.dat", control(1));
    write_bytes("0.bin", encode(first));
    write_bytes("1.bin", encode(second));
    write_bytes("3.bin", encode(first));
    write_bytes("0.tif", std::vector<uint8_t>(5000, 0x55));   // left by an earlier run

    EXPECT_EQ(run(), "36\nWriting TIFF file 0\nWriting TIFF file 1\nCould not open 2.bin");
    // Each text without a line end reaches the window when the run next reads
    // a file, so the operator sees which file is being converted while it is.
    EXPECT_EQ(pieces, (std::vector<std::string>{"36", "\r\n", "Writing TIFF file 0", "\r\n", "Writing TIFF file 1", "\r\n",
                                                "Could not open 2.bin"}));
    EXPECT_EQ(folder_.names(), (std::vector<std::string>{"0.bin", "0.tif", "1.bin", "1.tif", "3.bin", "scaninfo.dat"}));
    EXPECT_EQ(fs::file_size("0.tif"), 2710u);
    EXPECT_EQ(fs::file_size("1.tif"), 2710u);
    check_tiff("0.tif", first);
    check_tiff("1.tif", second);

    // A second run writes the same bytes again: nothing in the file varies.
    std::vector<uint8_t> before = read_bytes("1.tif");
    EXPECT_EQ(run(), "36\nWriting TIFF file 0\nWriting TIFF file 1\nCould not open 2.bin");
    EXPECT_EQ(read_bytes("1.tif"), before);
}

TEST_F(Conversion, LargestImageFromALongerScanFile)
{
    std::vector<record> records = pattern_records(400);
    std::vector<uint8_t> bytes = encode(records);
    bytes.insert(bytes.end(), 7, 0xEE);   // trailing bytes are ignored
    write_bytes("scaninfo.dat", control(39, 100));
    write_bytes("0.bin", bytes);

    EXPECT_EQ(run(), "36\nWriting TIFF file 0\nCould not open 1.bin");
    EXPECT_EQ(fs::file_size("0.tif"), 97710u);
    records.resize(390);
    check_tiff("0.tif", records);
}

TEST_F(Conversion, ZeroRowsGiveEmptyImagesWithoutReadingScans)
{
    write_bytes("scaninfo.dat", control(0));
    write_bytes("0.bin", {});
    write_bytes("1.bin", {1, 2, 3});
    EXPECT_EQ(run(), "36\nWriting TIFF file 0\nWriting TIFF file 1\nCould not open 2.bin");
    for (const char* name : {"0.tif", "1.tif"}) {
        std::vector<uint8_t> file = read_bytes(name);
        ASSERT_EQ(file.size(), 210u) << name;
        EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 24), expected_front(0, {}, 0));
        EXPECT_EQ(file[24], 15);   // the directory follows at once
    }
}

TEST_F(Conversion, MissingControlFile)
{
    write_bytes("0.bin", encode(pattern_records(10)));
    EXPECT_EQ(run(), "\nCould not open scaninfo.dat");
    EXPECT_EQ(folder_.names(), (std::vector<std::string>{"0.bin"}));
}

TEST_F(Conversion, MissingFirstScanFile)
{
    write_bytes("scaninfo.dat", control(1));
    EXPECT_EQ(run(), "36\nCould not open 0.bin");
    EXPECT_EQ(folder_.names(), (std::vector<std::string>{"scaninfo.dat"}));
}

TEST_F(Conversion, ControlFileOneByteShort)
{
    write_bytes("scaninfo.dat", control(1, 35));
    write_bytes("0.bin", encode(pattern_records(10)));
    EXPECT_EQ(run(), "36\nError reading scaninfo.bin");
    EXPECT_FALSE(fs::exists("0.tif"));
}

TEST_F(Conversion, RowCountTooLargeLeavesAnEmptyFile)
{
    write_bytes("0.bin", encode(pattern_records(400)));
    write_bytes("1.bin", encode(pattern_records(400)));
    write_bytes("scaninfo.dat", control(40));
    EXPECT_EQ(run(), "36\nWriting TIFF file 0\nImage length to large: 400");
    EXPECT_EQ(fs::file_size("0.tif"), 0u);
    EXPECT_FALSE(fs::exists("1.tif"));

    write_bytes("scaninfo.dat", control(-1));
    EXPECT_EQ(run(), "36\nWriting TIFF file 0\nImage length to large: 4294967286");
    EXPECT_EQ(fs::file_size("0.tif"), 0u);
}

TEST_F(Conversion, ZElevOutOfBoundsKeepsTheRowsBefore)
{
    std::vector<record> records = pattern_records(10);
    records[4][0] = 130;   // the largest accepted
    records[5][0] = 131;
    write_bytes("scaninfo.dat", control(1));
    write_bytes("0.bin", encode(records));
    write_bytes("1.bin", encode(pattern_records(10)));
    EXPECT_EQ(run(), "36\nWriting TIFF file 0\nError: z_elev out of bounds 131row 5");
    EXPECT_EQ(read_bytes("0.tif"), expected_front(10, records, 5));   // 1274 bytes, no directory
    EXPECT_FALSE(fs::exists("1.tif"));
}

TEST_F(Conversion, ScanFileEndingEarly)
{
    std::vector<record> records = pattern_records(10);
    std::vector<uint8_t> bytes = encode(records);
    write_bytes("scaninfo.dat", control(1));

    write_bytes("0.bin", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 3 * 242 + 121));
    EXPECT_EQ(run(), "36\nWriting TIFF file 0\nError reading 0.bin\nrow = 3");
    EXPECT_EQ(read_bytes("0.tif"), expected_front(10, records, 3));   // 774 bytes

    // One byte short of the last record fails at the last row.
    write_bytes("0.bin", std::vector<uint8_t>(bytes.begin(), bytes.end() - 1));
    EXPECT_EQ(run(), "36\nWriting TIFF file 0\nError reading 0.bin\nrow = 9");
    EXPECT_EQ(read_bytes("0.tif"), expected_front(10, records, 9));
}

TEST_F(Conversion, OutputNameTakenByAFolder)
{
    write_bytes("scaninfo.dat", control(1));
    write_bytes("0.bin", encode(pattern_records(10)));
    fs::create_directory("0.tif");
    EXPECT_EQ(run(), "36\nCould not open 0.tif");
    EXPECT_TRUE(fs::is_directory("0.tif"));
}

TEST_F(Conversion, OutputFileReadOnly)
{
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root from writing";
    write_bytes("scaninfo.dat", control(1));
    write_bytes("0.bin", encode(pattern_records(10)));
    write_bytes("0.tif", {1, 2, 3});
    chmod("0.tif", 0444);
    EXPECT_EQ(run(), "36\nCould not open 0.tif");
    EXPECT_EQ(read_bytes("0.tif"), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(Conversion, ControlFileIsAFolder)
{
    fs::create_directory("scaninfo.dat");
    write_bytes("0.bin", encode(pattern_records(10)));
    EXPECT_EQ(run(), "\nCould not open scaninfo.dat");
    EXPECT_FALSE(fs::exists("0.tif"));
}

TEST_F(Conversion, ScanFileIsAFolder)
{
    write_bytes("scaninfo.dat", control(1));
    fs::create_directory("0.bin");
    EXPECT_EQ(run(), "36\nCould not open 0.bin");
    EXPECT_FALSE(fs::exists("0.tif"));
}

TEST_F(Conversion, WriteFailuresCloseEveryFile)
{
    // A row write fails part-way through an image larger than the stream's
    // buffer: the run reports the row and closes both files.
    std::vector<record> records = pattern_records(390);
    write_bytes("scaninfo.dat", control(39));
    write_bytes("0.bin", encode(records));
    std::string output;
    {
        file_size_limit limit(24 + 200 * 250);
        output = run();
    }
    const std::string failure = "36\nWriting TIFF file 0\nError writing to 0.tif\nrow = ";
    ASSERT_EQ(output.compare(0, failure.size(), failure), 0) << output;
    unsigned long row = std::stoul(output.substr(failure.size()));
    EXPECT_GE(row, 200u);
    EXPECT_LT(row, 390u);
    EXPECT_EQ(read_bytes("0.tif"), expected_front(390, records, 200));
    EXPECT_EQ(rt_open_stream_count(), 3);

    // Every row fits but the directory does not: the image is reported as
    // not written and the run ends there.
    records.resize(10);
    write_bytes("scaninfo.dat", control(1));
    write_bytes("0.bin", encode(records));
    write_bytes("1.bin", encode(records));
    {
        file_size_limit limit(2600);
        output = run();
    }
    EXPECT_EQ(output, "36\nWriting TIFF file 0\nError writing to 0.tif");
    std::vector<uint8_t> written = read_bytes("0.tif");
    EXPECT_EQ(written.size(), 2600u);   // what fitted: all rows, part of the directory
    written.resize(2524);
    EXPECT_EQ(written, expected_front(10, records, 10));
    EXPECT_FALSE(fs::exists("1.tif"));
}

}  // namespace

// The conversion run in a scratch folder: messages, files left on disk and
// files closed, for the ordinary end and for every failure.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

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

// Caps the size of files this process writes, for the life of the object.
// The runtime's start-up has set the process to ignore the signal of a write
// past the cap, so such a write fails instead of ending the process.
class file_size_limit {
public:
    explicit file_size_limit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &previous_);
        struct rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~file_size_limit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
    }

private:
    struct rlimit previous_;
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

TEST_F(Conversion, RandomFoldersGiveTheMessagesAndFilesTheirBytesCallFor)
{
    // Seeded random control and scan files, most of them malformed, checked
    // against the rules worked out independently here.
    std::mt19937 random(20261208);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int round = 0; round < 150; ++round) {
        for (const auto& entry : fs::directory_iterator(".")) fs::remove_all(entry.path());
        const int16_t edges[] = {39, 40, -1, static_cast<int16_t>(pick(-32768, 32767))};
        const int16_t length_tens = pick(0, 9) == 0 ? edges[pick(0, 3)] : static_cast<int16_t>(pick(0, 4));
        write_bytes("scaninfo.dat", control(length_tens, pick(0, 9) == 0 ? pick(0, 35) : 36 + pick(0, 3)));
        const int files = pick(0, 3);
        std::vector<std::vector<uint8_t>> scans;
        for (int n = 0; n < files; ++n) {
            std::vector<uint8_t> bytes(static_cast<size_t>(pick(0, 45 * 242)));
            for (size_t i = 0; i < bytes.size(); ++i) {
                // z_elev, the first value of each record, seldom out of bounds.
                bool out = pick(0, 149) == 0;
                if (i % 242 == 0) bytes[i] = static_cast<uint8_t>(out ? pick(1, 255) : 0);
                else if (i % 242 == 1) bytes[i] = static_cast<uint8_t>(out ? (pick(0, 1) ? 131 : pick(132, 255)) : pick(0, pick(0, 1) ? 130 : 120));
                else bytes[i] = static_cast<uint8_t>(pick(0, 255));
            }
            write_bytes(std::to_string(n) + ".bin", bytes);
            scans.push_back(bytes);
        }

        std::string expected;
        if (fs::file_size("scaninfo.dat") < 36) {
            expected = "36\nError reading scaninfo.bin";
        } else {
            expected = "36";
            const uint32_t rows = static_cast<uint32_t>(int32_t{length_tens} * 10);
            for (int n = 0;; ++n) {
                if (n == files) {
                    expected += "\nCould not open " + std::to_string(n) + ".bin";
                    break;
                }
                expected += "\nWriting TIFF file " + std::to_string(n);
                const std::string tif = std::to_string(n) + ".tif";
                if (rows >= 400) {
                    expected += "\nImage length to large: " + std::to_string(rows);
                    break;
                }
                std::vector<record> records;
                std::string failure;
                for (uint32_t r = 0; r < rows && failure.empty(); ++r) {
                    if (scans[n].size() < (r + 1) * 242) {
                        failure = "\nError reading " + std::to_string(n) + ".bin\nrow = " + std::to_string(r);
                        break;
                    }
                    record values(121);
                    for (int i = 0; i < 121; ++i) values[i] = uint16_t(scans[n][r * 242 + 2 * i] << 8 | scans[n][r * 242 + 2 * i + 1]);
                    if (values[0] > 130) {
                        failure = "\nError: z_elev out of bounds " + std::to_string(values[0]) + "row " + std::to_string(r);
                        break;
                    }
                    records.push_back(values);
                }
                if (!failure.empty()) {
                    expected += failure;
                    break;
                }
            }
        }
        ASSERT_EQ(run(), expected) << "round " << round;
        for (int n = 0; n < files; ++n) {
            const std::string tif = std::to_string(n) + ".tif";
            if (!fs::exists(tif)) continue;
            // Whatever the run wrote is the prologue and the rows of the
            // records it had read whole, plus the directory when it finished.
            std::vector<uint8_t> bytes = read_bytes(tif);
            const uint32_t rows = static_cast<uint32_t>(int32_t{length_tens} * 10);
            if (rows >= 400) {
                EXPECT_TRUE(bytes.empty()) << tif;
                continue;
            }
            std::vector<record> records;
            for (size_t r = 0; r < rows && (r + 1) * 242 <= scans[n].size(); ++r) {
                record values(121);
                for (int i = 0; i < 121; ++i) values[i] = uint16_t(scans[n][r * 242 + 2 * i] << 8 | scans[n][r * 242 + 2 * i + 1]);
                if (values[0] > 130) break;
                records.push_back(values);
            }
            if (records.size() == rows) {
                ASSERT_EQ(bytes.size(), 210u + 250u * rows) << tif;
                if (rows > 0) check_tiff(tif, records);   // libtiff refuses an image of no rows
            } else {
                EXPECT_EQ(bytes, expected_front(rows, records, records.size())) << tif << " round " << round;
            }
        }
    }
}

}  // namespace

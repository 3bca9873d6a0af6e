// The runtime's Windows files: slots over CreateFile handles with the text
// flag's CR LF, the system's error codes, replacing a file, the per-thread
// record in its fiber-local slot, and the end of the process.
#include <cstring>
#include <thread>

#include "runtime/internal.h"
#include "tests/windows/unit/support.h"

namespace {

using wintest::readFile;
using wintest::ScratchFolder;
using wintest::writeFile;

std::string readSlot(int slot, uint32_t count)
{
    std::string bytes(count, '\0');
    int got = rt_slot_read(slot, bytes.data(), count);
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return bytes;
}

TEST(WindowsSlots, TextSlotsKeepCrLfOnDiskAndLfInTheProgram)
{
    ASSERT_EQ(rt_startup(), 1);
    EXPECT_TRUE(rt_slot_is_text(0) && rt_slot_is_text(1) && rt_slot_is_text(2));
    ScratchFolder folder;
    const std::string path = folder.file("text.txt");

    int slot = rt_slot_open(path.c_str(), RT_OPEN_WRITE | RT_OPEN_CREATE | RT_OPEN_TRUNCATE | RT_OPEN_TEXT);
    ASSERT_GE(slot, 3);
    EXPECT_EQ(rt_slot_write(slot, "one\ntwo\n\n", 9), 9);
    EXPECT_EQ(rt_slot_close(slot), 0);
    EXPECT_EQ(readFile(path), "one\r\ntwo\r\n\r\n");

    slot = rt_slot_open(path.c_str(), RT_OPEN_READ | RT_OPEN_TEXT);
    EXPECT_EQ(readSlot(slot, 100), "one\ntwo\n\n");
    EXPECT_EQ(rt_slot_close(slot), 0);

    // A CR LF split by the end of a read: the CR is held back and the next
    // read begins with the LF, so the program sees one LF; a lone CR stays.
    writeFile(path, "ab\r\ncd\rx");
    slot = rt_slot_open(path.c_str(), RT_OPEN_READ | RT_OPEN_TEXT);
    EXPECT_EQ(readSlot(slot, 3), "ab");
    EXPECT_EQ(readSlot(slot, 100), "\ncd\rx");
    EXPECT_EQ(readSlot(slot, 100), "");
    EXPECT_EQ(rt_slot_close(slot), 0);

    // Without the text flag every byte passes unchanged.
    slot = rt_slot_open(path.c_str(), RT_OPEN_READ);
    EXPECT_EQ(readSlot(slot, 100), "ab\r\ncd\rx");
    EXPECT_EQ(rt_slot_close(slot), 0);
}

TEST(WindowsSlots, AppendingWritesAtTheEndWhereverThePositionStands)
{
    ScratchFolder folder;
    const std::string path = folder.file("log.txt");
    writeFile(path, "first\r\n");
    int slot = rt_slot_open(path.c_str(), RT_OPEN_WRITE | RT_OPEN_APPEND | RT_OPEN_TEXT);
    ASSERT_GE(slot, 3);
    ASSERT_EQ(rt_slot_seek(slot, 0, SEEK_SET), 0);
    EXPECT_EQ(rt_slot_write(slot, "second\n", 7), 7);
    EXPECT_EQ(rt_slot_close(slot), 0);
    EXPECT_EQ(readFile(path), "first\r\nsecond\r\n");
}

TEST(WindowsSlots, FailuresRecordTheSystemsErrorCodes)
{
    ScratchFolder folder;
    EXPECT_EQ(rt_slot_open(folder.file("missing.txt").c_str(), RT_OPEN_READ), -1);
    EXPECT_EQ(rt_last_error(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(rt_slot_open(folder.path().c_str(), RT_OPEN_READ), -1);   // a folder
    EXPECT_EQ(rt_last_error(), static_cast<uint32_t>(ERROR_ACCESS_DENIED));

    char byte = 0;
    EXPECT_EQ(rt_slot_read(300, &byte, 1), -1);
    EXPECT_EQ(rt_last_error(), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
    int slot = rt_slot_open(folder.file("made.txt").c_str(), RT_OPEN_WRITE | RT_OPEN_CREATE);
    ASSERT_GE(slot, 3);
    EXPECT_EQ(rt_slot_close(slot), 0);
    EXPECT_EQ(rt_slot_close(slot), -1);
    EXPECT_EQ(rt_last_error(), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
}

TEST(WindowsStreams, FlushingAnInputStreamPutsTheFileBackWhereTheProgramStands)
{
    ScratchFolder folder;
    const std::string path = folder.file("lines.txt");
    rt_file* out = rt_fopen(path.c_str(), "w");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(rt_fputs("one\ntwo\nthree\n", out), 0);
    EXPECT_EQ(rt_fclose(out), 0);
    EXPECT_EQ(readFile(path), "one\r\ntwo\r\nthree\r\n");

    // The buffer read ahead holds the whole file; dropping it must find the
    // device position of the fifth character through the CR LF pairs.
    rt_file* in = rt_fopen(path.c_str(), "r+");
    ASSERT_NE(in, nullptr);
    std::string taken;
    for (int i = 0; i < 5; ++i) {
        taken += static_cast<char>(rt_fgetc(in));
    }
    EXPECT_EQ(taken, "one\nt");
    EXPECT_EQ(rt_fflush(in), 0);
    EXPECT_EQ(rt_fputc('W', in), 'W');
    EXPECT_EQ(rt_fclose(in), 0);
    EXPECT_EQ(readFile(path), "one\r\ntWo\r\nthree\r\n");
}

TEST(WindowsReplaceFile, TheFileHoldsTheOldOrTheNewBytesAndNothingIsLeftBeside)
{
    ScratchFolder folder;
    const std::string path = folder.file("saved.txt");
    EXPECT_EQ(rt_replace_file(path.c_str(), "new\r\n", 5), 1);
    EXPECT_EQ(readFile(path), "new\r\n");
    EXPECT_EQ(rt_replace_file(path.c_str(), "newer", 5), 1);
    EXPECT_EQ(readFile(path), "newer");

    const std::string locked = folder.file("locked.txt");
    writeFile(locked, "kept");
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(rt_replace_file(locked.c_str(), "lost", 4), 0);
    EXPECT_EQ(readFile(locked), "kept");
    EXPECT_EQ(rt_replace_file(folder.path().c_str(), "lost", 4), 0);   // a folder

    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2);   // saved.txt and locked.txt, no file of the replacement's left
}

TEST(WindowsThreadData, EveryThreadHasItsOwnRecordStartingAt0)
{
    ASSERT_EQ(rt_startup(), 1);
    rt_set_last_error(RT_ERROR_ACCESS_DENIED);
    runtimeThreadData* mainRecord = getThreadData();
    runtimeThreadData* otherRecord = nullptr;
    uint32_t otherFirst = 99;
    std::thread other([&] {
        otherRecord = getThreadData();
        otherFirst = rt_last_error();
        rt_set_last_error(RT_ERROR_FILE_NOT_FOUND);
    });
    other.join();
    EXPECT_NE(otherRecord, mainRecord);
    EXPECT_EQ(otherFirst, 0u);
    EXPECT_EQ(rt_last_error(), static_cast<uint32_t>(RT_ERROR_ACCESS_DENIED));
}

// ---------------------------------------------------------------------------
// The end of the process, in child processes of the test program.

// The child runs the test again up to the death statement, so the file it
// writes has a name that does not depend on the process.
std::string deathTestFile(const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

TEST(WindowsProcessDeathTest, ExitRunsTheAtexitFunctionsClosesTheStreamsAndEndsWithTheStatus)
{
    const std::string path = deathTestFile("rastrel_wt_exit.txt");
    DeleteFileA(path.c_str());
    EXPECT_EXIT(
        {
            rt_startup();
            rt_file* file = rt_fopen(path.c_str(), "w");
            rt_fputs("buffered\n", file);
            static rt_file* atExit;
            atExit = file;
            rt_atexit([] { rt_fputs("atexit\n", atExit); });
            rt_exit(3);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(readFile(path), "buffered\r\natexit\r\n");

    EXPECT_EXIT(
        {
            rt_startup();
            rt_file* file = rt_fopen(path.c_str(), "w");
            rt_fputs("never flushed\n", file);
            rt_abort();
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(readFile(path), "");
    DeleteFileA(path.c_str());
}

// The faults report the system's code and the faulting instruction's address.
volatile int zero = 0;
volatile int* volatile nowhere = nullptr;

__attribute__((noinline)) int divide(int dividend, int divisor)
{
    return dividend / divisor;
}

__attribute__((noinline)) void writeThroughNull()
{
    *nowhere = 1;
}

const void* faultingRoutine;

// Checks the box's text against its format and the address against the
// routine that faulted, and writes one line about it on standard error.
int checkingBox(const char* text, const char* caption, unsigned flags)
{
    unsigned code = 0;
    unsigned long long address = 0;
    const int parsed = std::sscanf(text, "Unhandled exception: %x\nAt address: %llx", &code, &address);
    char again[128];
    std::snprintf(again, sizeof again, "Unhandled exception: %08x\nAt address:          %08llx\n", code, address);
    const uintptr_t start = reinterpret_cast<uintptr_t>(faultingRoutine);
    const bool inside = parsed == 2 && address >= start && address < start + 64;
    std::fprintf(stderr, "caption=%s flags=%x code=%08x format=%s address=%s\n", caption, flags, code,
                 parsed == 2 && std::strcmp(again, text) == 0 ? "ok" : "bad", inside ? "inside" : "outside");
    std::fflush(stderr);
    return IDOK;
}

TEST(WindowsFaultsDeathTest, ADivisionByZeroShowsItsCodeAndTheDividingInstruction)
{
    EXPECT_EXIT(
        {
            rt_install_fault_handlers();
            rt_set_message_box(checkingBox);
            faultingRoutine = reinterpret_cast<const void*>(&divide);
            std::printf("%d", divide(7, zero));
        },
        ::testing::ExitedWithCode(static_cast<int>(0xC0000094u)),
        "caption=Unhandled Exception flags=2000 code=c0000094 format=ok address=inside");
    EXPECT_EXIT(
        {
            rt_install_fault_handlers();
            rt_set_message_box(checkingBox);
            faultingRoutine = reinterpret_cast<const void*>(&writeThroughNull);
            writeThroughNull();
        },
        ::testing::ExitedWithCode(static_cast<int>(0xC0000005u)),
        "caption=Unhandled Exception flags=2000 code=c0000005 format=ok address=inside");
}

}  // namespace

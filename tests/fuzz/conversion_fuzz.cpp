// Coverage-guided fuzzing of the conversion run.
//
// The input is a folder's worth of files: the control file, then the scan
// files 0.bin, 1.bin, ..., each part introduced by the marker "#BIN":
//
//     CONTROL #BIN SCAN0 #BIN SCAN1 ...
//
// A part that is exactly "-" stands for a file that is not there; a part
// that starts with "*" and a count byte k holds the rest of the part k + 1
// times over (so that long, well-formed scan files fit in a small input).
// An input that starts with "#FSZ" and three bytes L (big-endian) runs with
// files limited to L bytes, as under a shell's ulimit -f or on a nearly full
// disk.  The files are written into a scratch folder (made once per process,
// emptied for every input), the conversion runs there with the runtime
// started and its standard output captured, and then:
// - the output is what a model of the run, written from the file formats
//   alone, says it must be; under a limit, the first image that does not fit
//   ends the run with "Error writing to N.tif" (with or without its row) or
//   with the failure the model expects of that image anyway;
// - the folder holds exactly the files given and N.tif for every scan file
//   the run reached;
// - every image the run reported as written without error is read back by
//   libtiff and holds, row by row, the rows its scan records give (an image
//   of no rows, which libtiff does not open, only has its size checked); an
//   image cut short holds the prologue and the rows before the failing one,
//   or under a limit the start of them, never more than the limit.
#include <sys/resource.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/conversion.h"
#include "runtime/runtime.h"

namespace {

namespace fs = std::filesystem;

const std::string marker = "#BIN";
const std::string limit_marker = "#FSZ";
const size_t file_limit = 100000;   // enough for 390 records and more

std::string scratch;        // the scratch folder, absolute
std::string home;           // the fuzzer's own working folder
std::string captured;       // the run's standard output
rlim_t original_limit;      // the file-size limit the fuzzer was started with

void capture(const char* bytes, uint32_t count)
{
    captured.append(bytes, count);
}

void remove_scratch()
{
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
}

// Caps the size of files this process writes.  The runtime's start-up has the process ignore the signal of a write past the
// cap, so such a write fails as on a full disk.
void set_file_size_limit(rlim_t bytes)
{
    struct rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

[[noreturn]] void fail(const std::string& what)
{
    set_file_size_limit(original_limit);   // the fuzzer saves the input next
    if (!scratch.empty() && chdir(home.c_str()) == 0) {
        remove_scratch();
    }
    std::fprintf(stderr, "conversion fuzz: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void check(bool condition, const std::string& what)
{
    if (!condition) {
        fail(what);
    }
}

struct part {
    bool present;
    std::string bytes;
};

part decode_part(const std::string& text)
{
    if (text == "-") {
        return {false, ""};
    }
    if (text.size() >= 2 && text[0] == '*') {
        const std::string unit = text.substr(2);
        const size_t times = static_cast<uint8_t>(text[1]) + 1u;
        std::string bytes;
        bytes.reserve(std::min(times * unit.size(), file_limit));
        for (size_t i = 0; i < times && bytes.size() + unit.size() <= file_limit; ++i) {
            bytes += unit;
        }
        return {true, bytes};
    }
    return {true, text};
}

std::vector<part> split_input(const uint8_t* data, size_t size)
{
    const std::string all(reinterpret_cast<const char*>(data), size);
    std::vector<part> parts;
    size_t start = 0;
    for (;;) {
        size_t at = all.find(marker, start);
        parts.push_back(decode_part(all.substr(start, at == std::string::npos ? std::string::npos : at - start)));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + marker.size();
    }
}

void write_file(const std::string& name, const std::string& bytes)
{
    FILE* file = std::fopen(name.c_str(), "wb");
    check(file != nullptr, "cannot write " + name);
    check(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(), "cannot write " + name);
    check(std::fclose(file) == 0, "cannot close " + name);
}

std::string read_file(const std::string& name)
{
    std::string bytes;
    FILE* file = std::fopen(name.c_str(), "rb");
    check(file != nullptr, "cannot read " + name);
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, got);
    }
    std::fclose(file);
    return bytes;
}

unsigned be16(const std::string& bytes, size_t at)
{
    return static_cast<unsigned>(static_cast<uint8_t>(bytes[at]) << 8 | static_cast<uint8_t>(bytes[at + 1]));
}

// One image row from the record at offset at, as the file formats define it.
using image_line = std::array<uint8_t, 250>;

image_line row_from(const std::string& scan, size_t at)
{
    image_line row{};
    const unsigned z_elev = be16(scan, at);
    for (unsigned i = 13; i <= 119; ++i) {
        const unsigned sample = be16(scan, at + 2 * i);
        row[z_elev + i] = static_cast<uint8_t>(sample > 255 ? 255 : sample);
    }
    return row;
}

// What the model expects of one output file.
struct expected_image {
    int number;
    uint32_t rows;
    bool complete;
    uint32_t rows_written;   // the rows before the run stopped in this image
    uint64_t size;           // what the image holds when nothing limits it
    size_t text_end;         // the output up to and including its "Writing" line
};

// The model of a run: the output it writes and the images it leaves.
std::string model(const std::vector<part>& parts, std::vector<expected_image>* images)
{
    if (!parts[0].present) {
        return "\nCould not open scaninfo.dat";
    }
    const std::string& control = parts[0].bytes;
    std::string out = "36";
    if (control.size() < 36) {
        return out + "\nError reading scaninfo.bin";
    }
    const int16_t length_tens = static_cast<int16_t>(be16(control, 4));
    const uint32_t rows = static_cast<uint32_t>(length_tens * 10);
    for (size_t n = 0;; ++n) {
        const std::string number = std::to_string(n);
        if (n + 1 >= parts.size() || !parts[n + 1].present) {
            return out + "\nCould not open " + number + ".bin";
        }
        out += "\nWriting TIFF file " + number;
        if (rows >= 400) {
            images->push_back({static_cast<int>(n), rows, false, 0, 0, out.size()});
            return out + "\nImage length to large: " + std::to_string(rows);
        }
        const std::string& scan = parts[n + 1].bytes;
        for (uint32_t r = 0; r < rows; ++r) {
            const uint64_t written = 24 + 250ull * r;
            if (scan.size() < (r + 1) * 242ull) {
                images->push_back({static_cast<int>(n), rows, false, r, written, out.size()});
                return out + "\nError reading " + number + ".bin\nrow = " + std::to_string(r);
            }
            const unsigned z_elev = be16(scan, r * 242ull);
            if (z_elev > 130) {
                images->push_back({static_cast<int>(n), rows, false, r, written, out.size()});
                return out + "\nError: z_elev out of bounds " + std::to_string(z_elev) + "row " + std::to_string(r);
            }
        }
        images->push_back({static_cast<int>(n), rows, true, rows, 210 + 250ull * rows, out.size()});
    }
}

// Under a file-size limit: the model's images up to the first that does not
// fit, which then ends the run.  Returns whether one does not fit.
bool cut_at_limit(std::vector<expected_image>* images, uint64_t limit)
{
    for (size_t i = 0; i < images->size(); ++i) {
        if ((*images)[i].size > limit) {
            images->resize(i + 1);
            return true;
        }
    }
    return false;
}

// The prologue and the rows an image holds before its directory.
std::string image_front(const std::string& scan, uint32_t rows, uint32_t rows_written)
{
    const uint32_t d = 24 + 250 * rows;
    std::string front = {'I', 'I', 42, 0, char(d), char(d >> 8), char(d >> 16), char(d >> 24)};
    front += std::string("\x0a\0\0\0\0\0\0\0\x0a\0\0\0\0\0\0\0", 16);
    for (uint32_t r = 0; r < rows_written; ++r) {
        const image_line row = row_from(scan, r * 242ull);
        front.append(row.begin(), row.end());
    }
    return front;
}

// The images the output reports as written without error: "Writing TIFF
// file N" followed directly by the next file's line or the ordinary end.
std::set<int> reported_complete(const std::string& output)
{
    std::set<int> complete;
    const std::string writing = "\nWriting TIFF file ";
    for (size_t at = output.find(writing); at != std::string::npos; at = output.find(writing, at + 1)) {
        const int n = std::atoi(output.c_str() + at + writing.size());
        const std::string after = output.substr(at + writing.size() + std::to_string(n).size());
        const std::string next = std::to_string(n + 1);
        if (after.rfind(writing + next, 0) == 0 || after == "\nCould not open " + next + ".bin") {
            complete.insert(n);
        }
    }
    return complete;
}

void check_image(const std::string& name, const std::string& scan, uint32_t rows)
{
    TIFF* tiff = TIFFOpen(name.c_str(), "rc");
    check(tiff != nullptr, "libtiff cannot open " + name);
    uint32_t width = 0, length = 0;
    uint16_t bits = 0, samples = 0;
    check(TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) && width == 250, name + ": width");
    check(TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &length) && length == rows, name + ": length");
    check(TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits) && bits == 8, name + ": bits per sample");
    check(TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples) && samples == 1, name + ": samples per pixel");
    image_line line{};
    for (uint32_t r = 0; r < rows; ++r) {
        check(TIFFReadScanline(tiff, line.data(), r, 0) == 1, name + ": row " + std::to_string(r) + " unreadable");
        check(line == row_from(scan, r * 242ull), name + ": row " + std::to_string(r) + " differs");
    }
    TIFFClose(tiff);
}

void empty_scratch()
{
    for (const fs::directory_entry& entry : fs::directory_iterator(scratch)) {
        fs::remove_all(entry.path());
    }
}

// Options for the fuzzer itself.  The conversion runs in the scratch
// folder, so a crash is saved while that is the current folder: the fuzzer
// is told to save it in its own folder instead, unless it was given a place
// by an absolute path.  And the fuzzer would take over the signal of a write
// past the file-size limit, which the runtime's start-up has the process
// ignore: it is told to leave it alone.
void adjust_arguments(int* argc, char*** argv)
{
    static std::vector<std::string> texts;
    static std::vector<char*> vector;
    bool given = false;
    for (int i = 0; i < *argc; ++i) {
        std::string argument = (*argv)[i];
        const std::string option = "-artifact_prefix=";
        if (argument.rfind(option, 0) == 0) {
            given = true;
            if (argument.compare(option.size(), 1, "/") != 0) {
                argument = option + home + "/" + argument.substr(option.size());
            }
        }
        texts.push_back(argument);
    }
    if (!given) {
        texts.push_back("-artifact_prefix=" + home + "/");
    }
    texts.push_back("-handle_xfsz=0");
    for (std::string& text : texts) {
        vector.push_back(text.data());
    }
    vector.push_back(nullptr);
    *argc = static_cast<int>(texts.size());
    *argv = vector.data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    char pattern[] = "/dev/shm/rastrel-fuzz.XXXXXX";
    char fallback[] = "/tmp/rastrel-fuzz.XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) {
        made = mkdtemp(fallback);
    }
    if (made == nullptr) {
        fail("cannot make a scratch folder");
    }
    scratch = made;
    home = fs::current_path().string();
    adjust_arguments(argc, argv);
    struct rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    original_limit = limit.rlim_cur;
    std::atexit(remove_scratch);
    if (!rt_startup()) {
        fail("the runtime does not start");
    }
    rt_attach_console(capture, nullptr);
    TIFFSetWarningHandler(nullptr);   // the one-byte description and the 10/0 resolutions
    TIFFSetErrorHandler(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    bool limited = false;
    uint64_t limit = 0;
    if (size >= limit_marker.size() + 3 && std::memcmp(data, limit_marker.data(), limit_marker.size()) == 0) {
        limited = true;
        limit = static_cast<uint64_t>(data[4]) << 16 | static_cast<uint64_t>(data[5]) << 8 | data[6];
        data += limit_marker.size() + 3;
        size -= limit_marker.size() + 3;
    }
    const std::vector<part> parts = split_input(data, size);
    // The conversion works in the current folder; the fuzzer's own files
    // (corpus, crashes) are named relative to its own.
    empty_scratch();
    check(chdir(scratch.c_str()) == 0, "cannot enter the scratch folder");
    std::set<std::string> given;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].present) {
            const std::string name = i == 0 ? "scaninfo.dat" : std::to_string(i - 1) + ".bin";
            write_file(name, parts[i].bytes);
            given.insert(name);
        }
    }

    captured.clear();
    if (limited) {
        set_file_size_limit(limit);
    }
    convert_scans();
    set_file_size_limit(original_limit);
    rt_fflush(rt_stdout);
    std::string output;
    for (size_t i = 0; i < captured.size(); ++i) {
        if (!(captured[i] == '\r' && i + 1 < captured.size() && captured[i + 1] == '\n')) {
            output.push_back(captured[i]);
        }
    }

    std::vector<expected_image> images;
    const std::string expected = model(parts, &images);
    const bool cut = limited && cut_at_limit(&images, limit);
    if (!cut) {
        check(output == expected, "the output is\n" + output + "\nnot\n" + expected);
    } else {
        // The model's output up to the image that does not fit, then its
        // write failure, or the failure the model expects of it anyway.
        const expected_image& last = images.back();
        const std::string name = std::to_string(last.number) + ".tif";
        check(output.compare(0, last.text_end, expected, 0, last.text_end) == 0,
              "the output is\n" + output + "\nnot first\n" + expected.substr(0, last.text_end));
        const std::string rest = output.substr(std::min(output.size(), last.text_end));
        const std::string failure = "\nError writing to " + name;
        bool reported = rest == failure || (!last.complete && rest == expected.substr(last.text_end));
        if (!reported && rest.rfind(failure + "\nrow = ", 0) == 0) {
            const std::string row = rest.substr(failure.size() + 7);
            reported = !row.empty() && row.size() <= 3 && row.find_first_not_of("0123456789") == std::string::npos &&
                       std::stoul(row) < last.rows_written;
        }
        check(reported, "an image past the limit is not reported: " + rest);
    }

    std::set<std::string> wanted = given;
    for (const expected_image& image : images) {
        wanted.insert(std::to_string(image.number) + ".tif");
    }
    std::set<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(".")) {
        found.insert(entry.path().filename().string());
    }
    check(found == wanted, "the folder holds other files than expected");

    const std::set<int> complete = reported_complete(output);
    for (size_t i = 0; i < images.size(); ++i) {
        const expected_image& image = images[i];
        const std::string name = std::to_string(image.number) + ".tif";
        const bool whole = image.complete && !(cut && i + 1 == images.size());
        check(complete.count(image.number) == (whole ? 1u : 0u), name + ": reported wrongly");
        const uint64_t file_size = fs::file_size(name);
        if (whole) {
            check(file_size == image.size, name + ": size " + std::to_string(file_size));
            // An image of no rows is written as such (RowsPerStrip 0), which
            // libtiff refuses to open; its size is checked above.
            if (image.rows > 0) {
                check_image(name, parts[image.number + 1].bytes, image.rows);
            }
            continue;
        }
        // Cut short: the start of what it would hold, within the limit.
        check(cut || file_size == image.size, name + ": size " + std::to_string(file_size));
        check(!limited || file_size <= limit, name + ": larger than the limit");
        if (file_size > 0) {
            const std::string front = image_front(parts[image.number + 1].bytes, image.rows, image.rows_written);
            const std::string held = read_file(name);
            // What follows the rows, up to the limit, is the start of the
            // directory of an image whose rows were all written.
            const size_t compared = std::min(held.size(), front.size());
            check(front.compare(0, compared, held, 0, compared) == 0, name + ": not the start of the image");
            check(held.size() <= (image.complete ? image.size : front.size()), name + ": more than the image");
        }
    }
    check(rt_open_stream_count() == 3, "a file is left open");

    check(chdir(home.c_str()) == 0, "cannot go back to the fuzzer's folder");
    return 0;
}

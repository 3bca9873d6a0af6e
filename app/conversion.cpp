// The conversion run.  Every file it opens is held here and closed by
// close_run_files at every exit of a run, ordinary or not.
#include "app/conversion.h"

#include <charconv>
#include <climits>
#include <cstring>

#include "runtime/runtime.h"

namespace {

enum { NAME_BYTES = 16 };   // "-2147483648.bin" and its NUL

rt_file* scan_file;
rt_file* tiff_file;

scan_info control_record;
scan_record record;
image_row row;
char scan_name[NAME_BYTES];
char tiff_name[NAME_BYTES];

void close_run_files()
{
    if (scan_file) {
        rt_fclose(scan_file);
        scan_file = nullptr;
    }
    if (tiff_file) {
        rt_fclose(tiff_file);
        tiff_file = nullptr;
    }
}

// Reads the control record.  Returns 1 when it was read and the file closed.
int read_control_record()
{
    rt_file* control = rt_fopen("scaninfo.dat", "rb");
    if (!control) {
        rt::cout << "\nCould not open scaninfo.dat";
        return 0;
    }
    rt::cout << static_cast<unsigned>(sizeof control_record);
    if (rt_fread(&control_record, sizeof control_record, 1, control) != 1) {
        rt::cout << "\nError reading scaninfo.bin";
        rt_fclose(control);
        return 0;
    }
    if (rt_fclose(control) != 0) {
        rt::cout << "\nScaninfo.bin file close error";
        return 0;
    }
    return 1;
}

// Converts the open scan file into the open TIFF file.  Returns 1 when the
// image was written whole; otherwise the failure has been reported.
int convert_image(uint32_t rows)
{
    if (!scan_rows_acceptable(rows)) {
        rt::cout << "\nImage length to large: " << rows;
        return 0;
    }
    tiff_write_prologue(tiff_file, rows);
    for (uint32_t r = 0; r < rows; ++r) {
        if (rt_fread(record.values, 2, SCAN_VALUES, scan_file) != SCAN_VALUES) {
            rt::cout << "\nError reading " << scan_name << "\nrow = " << r;
            return 0;
        }
        uint16_t z_elev = 0;
        if (!build_image_row(&record, &row, &z_elev)) {
            rt::cout << "\nError: z_elev out of bounds " << z_elev << "row " << r;
            return 0;
        }
        if (!tiff_write_row(tiff_file, row)) {
            rt::cout << "\nError writing to " << tiff_name << "\nrow = " << r;
            return 0;
        }
    }
    // The prologue and the last rows may still sit in the stream's buffer, so
    // a full disk or a size limit may show only here or when the file is
    // closed; either way the image is incomplete and is reported.
    int complete = tiff_write_directory(tiff_file, rows);
    int closed = rt_fclose(tiff_file) == 0;
    tiff_file = nullptr;
    if (!complete || !closed) {
        rt::cout << "\nError writing to " << tiff_name;
        return 0;
    }
    return 1;
}

// Places samples 8 to 119 of a record (big-endian, as read) at columns
// z_elev + 8 on.  Values 1 to 12 are zero by now, so starting at 8 instead
// of 13 writes the zeros their columns must hold anyway, and 112 values make
// whole blocks for the compiler's vector instructions.  A sample above 255
// is one whose high byte is not zero; it gives 255.
void place_samples(const uint8_t* __restrict stored, uint8_t* __restrict column)
{
    for (int i = SCAN_LAST_SAMPLE + 1 - 112; i <= SCAN_LAST_SAMPLE; ++i) {
        uint8_t high = stored[2 * i];
        uint8_t low = stored[2 * i + 1];
        column[i] = high ? 255 : low;
    }
}

}  // namespace

void form_file_name(char* name, int number, const char* suffix)
{
    std::to_chars_result end = std::to_chars(name, name + 11, number);
    size_t length = std::strlen(suffix);
    std::memcpy(end.ptr, suffix, length);
    end.ptr[length] = '\0';
}

int build_image_row(scan_record* record_in, image_row* row_out, uint16_t* z_elev)
{
    for (int i = SCAN_FIRST_DISCARDED; i <= SCAN_LAST_DISCARDED; ++i) {
        record_in->values[i] = 0;
    }
    std::memset(row_out->pixels, 0, sizeof row_out->pixels);
    uint16_t z = scan_decode16(record_in->values[0]);
    *z_elev = z;
    if (z > SCAN_MAX_Z_ELEV) {
        return 0;
    }
    place_samples(reinterpret_cast<const uint8_t*>(record_in->values), row_out->pixels + z);
    return 1;
}

void convert_scans()
{
    // A run interrupted before it could close its files leaves nothing
    // behind for the next one.
    close_run_files();
    if (!read_control_record()) {
        return;
    }
    for (int n = 0;; ++n) {
        form_file_name(scan_name, n, ".bin");
        scan_file = rt_fopen(scan_name, "rb");
        if (!scan_file) {
            rt::cout << "\nCould not open " << scan_name;
            return;
        }
        form_file_name(tiff_name, n, ".tif");
        tiff_file = rt_fopen(tiff_name, "wb");
        if (!tiff_file) {
            rt::cout << "\nCould not open " << tiff_name;
            close_run_files();
            return;
        }
        rt::cout << "\nWriting TIFF file " << n;
        int converted = convert_image(scan_row_count(control_record));
        close_run_files();
        if (!converted || n == INT_MAX) {
            // The largest file number has no successor to look for.
            return;
        }
    }
}

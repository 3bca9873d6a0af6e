// The conversion run behind menu selection 1: reads scaninfo.dat, then
// converts 0.bin, 1.bin, ... into 0.tif, 1.tif, ... until the first scan file
// that cannot be opened or the first failure, reporting progress and failures
// on the standard output.
#pragma once

#include <cstdint>

#include "app/scan_input.h"
#include "app/tiff_writer.h"

void convert_scans();

// Builds one output row from one scan record: clears the record's discarded
// values 1 to 12, then places samples 1 to 119 at columns z_elev + i, each
// limited to 255.  Stores the decoded z_elev; returns 1, or 0 when z_elev is
// out of bounds (the row is then all zero).
int build_image_row(scan_record* record, image_row* row, uint16_t* z_elev);

// Writes "N" and the suffix into name (at least 16 bytes): "12.bin".
void form_file_name(char* name, int number, const char* suffix);

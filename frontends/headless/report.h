// The scripted run's reports: what the console window shows, written on
// standard output.
#pragma once

#include <cstddef>
#include <string>

// Writes a report now.  The window is painted first, so the report shows
// what the user sees; a document whose print job still runs is left to a
// later report.
void writeReport();
// The run's last report, written once as the program ends (nothing is
// painted: the program may have faulted); it shows every document as far
// as it got.
void writeLastReport();

// Text C-escaped as reports quote it: \r \n \t \\ \", \xHH for other bytes
// below 32 or above 126.  With quotes false, " stands as it is.
void putEscaped(std::string* out, const char* bytes, size_t count, bool quotes);

// Reads what the windows of the Windows flows show, from inside the same
// Wine desktop, so that the flows check texts exactly instead of guessing
// from pixels.  A console program: it prints on standard output.
//
//   wintool windows          the visible top-level windows: "TITLE" enabled=E
//   wintool text TITLE       the visible window titled TITLE and the texts of
//                            its controls, one line each (status 1: none)
//   wintool where TITLE TEXT the screen position of the middle of the control
//                            showing TEXT in the window titled TITLE: "X Y"
//   wintool addprinter NAME PORT PPD
//                            installs a PostScript printer NAME on PORT with
//                            Wine's PostScript driver and the description
//                            file PPD, and makes it the default printer
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<HWND> shown;

BOOL CALLBACK collect(HWND window, LPARAM)
{
    if (IsWindowVisible(window)) {
        shown.push_back(window);
    }
    return TRUE;
}

std::string titleOf(HWND window)
{
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Control characters shown as escapes, so that one text is one line.
std::string escaped(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 32) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", c);
            out += code;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

HWND findShown(const char* title)
{
    EnumWindows(collect, 0);
    for (HWND window : shown) {
        if (titleOf(window) == title) {
            return window;
        }
    }
    return nullptr;
}

struct Search {
    const char* text;
    HWND found;
};

BOOL CALLBACK findChild(HWND child, LPARAM lParam)
{
    Search* search = reinterpret_cast<Search*>(lParam);
    if (titleOf(child) == search->text) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK printChild(HWND child, LPARAM)
{
    std::printf("%s\n", escaped(titleOf(child)).c_str());
    return TRUE;
}

int addPrinter(const char* name, const char* port, const char* ppd)
{
    DRIVER_INFO_3A driver = {};
    driver.cVersion = 3;
    driver.pName = const_cast<char*>("Rastrel test PostScript");
    driver.pDriverPath = const_cast<char*>("wineps.drv");
    driver.pDataFile = const_cast<char*>(ppd);
    driver.pConfigFile = const_cast<char*>("wineps.drv");
    driver.pDefaultDataType = const_cast<char*>("RAW");
    if (!AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY)) {
        std::fprintf(stderr, "wintool: the driver was not added (%lu)\n", GetLastError());
        return 1;
    }
    PRINTER_INFO_2A printer = {};
    printer.pPrinterName = const_cast<char*>(name);
    printer.pPortName = const_cast<char*>(port);
    printer.pDriverName = driver.pName;
    printer.pPrintProcessor = const_cast<char*>("WinPrint");
    printer.pDatatype = const_cast<char*>("RAW");
    HANDLE added = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
    if (added == nullptr) {
        std::fprintf(stderr, "wintool: the printer was not added (%lu)\n", GetLastError());
        return 1;
    }
    ClosePrinter(added);
    return SetDefaultPrinterA(name) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "windows") == 0) {
        EnumWindows(collect, 0);
        for (HWND window : shown) {
            std::printf("\"%s\" enabled=%d\n", escaped(titleOf(window)).c_str(), IsWindowEnabled(window) ? 1 : 0);
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "text") == 0) {
        HWND window = findShown(argv[2]);
        if (window == nullptr) {
            return 1;
        }
        std::printf("%s\n", escaped(titleOf(window)).c_str());
        EnumChildWindows(window, printChild, 0);
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "where") == 0) {
        HWND window = findShown(argv[2]);
        Search search = {argv[3], nullptr};
        if (window != nullptr) {
            EnumChildWindows(window, findChild, reinterpret_cast<LPARAM>(&search));
        }
        RECT place;
        if (search.found == nullptr || !GetWindowRect(search.found, &place)) {
            return 1;
        }
        std::printf("%ld %ld\n", (place.left + place.right) / 2, (place.top + place.bottom) / 2);
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "addprinter") == 0) {
        return addPrinter(argv[2], argv[3], argv[4]);
    }
    std::fprintf(stderr, "usage: wintool windows | text TITLE | where TITLE TEXT | addprinter NAME PORT PPD\n");
    return 2;
}

// Message boxes, the common dialogs, modeless dialogs, printers and the
// clipboard: platform.h passed through to the real API.  The dialog request
// records and the spooler's document record are translated into the
// system's, whose sizes are set from the system's own records (they differ
// between 32 and 64 bits).
#include "win32/callbacks.h"

#include <cstddef>
#include <cstring>

using w32::throughSystem;

namespace {

HWND real(plHwnd window) { return reinterpret_cast<HWND>(window); }
HDC real(plHdc dc) { return reinterpret_cast<HDC>(dc); }
HGLOBAL real(plHglobal block) { return reinterpret_cast<HGLOBAL>(block); }

// The printer enumeration records are read by the console as they come.
static_assert(sizeof(plPrinterInfo4) == sizeof(PRINTER_INFO_4A), "printer record, level 4");
static_assert(offsetof(plPrinterInfo4, printerName) == offsetof(PRINTER_INFO_4A, pPrinterName), "level 4 name");
static_assert(offsetof(plPrinterInfo4, attributes) == offsetof(PRINTER_INFO_4A, Attributes), "level 4 attributes");
static_assert(sizeof(plPrinterInfo5) == sizeof(PRINTER_INFO_5A), "printer record, level 5");
static_assert(offsetof(plPrinterInfo5, printerName) == offsetof(PRINTER_INFO_5A, pPrinterName), "level 5 name");
static_assert(offsetof(plPrinterInfo5, transmissionRetryTimeout) ==
                  offsetof(PRINTER_INFO_5A, TransmissionRetryTimeout),
              "level 5 timeouts");

}  // namespace

// ---------------------------------------------------------------------------
// Message boxes and common dialogs.

int plMessageBox(plHwnd owner, const char* text, const char* caption, uint32_t type)
{
    return throughSystem([&] { return MessageBoxA(real(owner), text, caption, type); });
}

int plGetSaveFileName(plOpenFileName* request)
{
    OPENFILENAMEA system;
    std::memset(&system, 0, sizeof system);
    system.lStructSize = sizeof system;
    system.hwndOwner = real(request->owner);
    system.hInstance = reinterpret_cast<HINSTANCE>(request->instance);
    system.lpstrFilter = request->filter;
    system.lpstrCustomFilter = request->customFilter;
    system.nMaxCustFilter = request->maxCustomFilter;
    system.nFilterIndex = request->filterIndex;
    system.lpstrFile = request->file;
    system.nMaxFile = request->maxFile;
    system.lpstrFileTitle = request->fileTitle;
    system.nMaxFileTitle = request->maxFileTitle;
    system.lpstrInitialDir = request->initialDir;
    system.lpstrTitle = request->title;
    system.Flags = request->flags;
    system.lpstrDefExt = request->defExt;
    system.lCustData = request->custData;
    system.lpfnHook = reinterpret_cast<LPOFNHOOKPROC>(request->hook);
    system.lpTemplateName = request->templateName;
    BOOL chosen = throughSystem([&] { return GetSaveFileNameA(&system); });
    request->filterIndex = system.nFilterIndex;
    request->flags = system.Flags;
    request->fileOffset = system.nFileOffset;
    request->fileExtension = system.nFileExtension;
    return chosen ? 1 : 0;
}

int plPrintDlg(struct plPrintDlg* request)
{
    PRINTDLGA system;
    std::memset(&system, 0, sizeof system);
    system.lStructSize = sizeof system;
    system.hwndOwner = real(request->owner);
    system.hDevMode = real(request->devMode);
    system.hDevNames = real(request->devNames);
    system.hDC = real(request->hdc);
    system.Flags = request->flags;
    system.nFromPage = request->fromPage;
    system.nToPage = request->toPage;
    system.nMinPage = request->minPage;
    system.nMaxPage = request->maxPage;
    system.nCopies = request->copies;
    system.hInstance = reinterpret_cast<HINSTANCE>(request->instance);
    system.lCustData = request->custData;
    system.lpfnPrintHook = reinterpret_cast<LPPRINTHOOKPROC>(request->printHook);
    system.lpfnSetupHook = reinterpret_cast<LPSETUPHOOKPROC>(request->setupHook);
    system.lpPrintTemplateName = request->printTemplateName;
    system.lpSetupTemplateName = request->setupTemplateName;
    system.hPrintTemplate = real(request->printTemplate);
    system.hSetupTemplate = real(request->setupTemplate);
    BOOL chosen = throughSystem([&] { return PrintDlgA(&system); });
    // The printer's settings blocks are not passed on by the console, which
    // starts every job afresh: they are released here instead of left behind.
    if (system.hDevMode != nullptr && system.hDevMode != real(request->devMode)) {
        GlobalFree(system.hDevMode);
    }
    if (system.hDevNames != nullptr && system.hDevNames != real(request->devNames)) {
        GlobalFree(system.hDevNames);
    }
    request->hdc = reinterpret_cast<plHdc>(system.hDC);
    request->flags = system.Flags;
    request->fromPage = system.nFromPage;
    request->toPage = system.nToPage;
    request->minPage = system.nMinPage;
    request->maxPage = system.nMaxPage;
    request->copies = system.nCopies;
    return chosen ? 1 : 0;
}

void plMessageBeep(uint32_t type)
{
    MessageBeep(type);
}

// ---------------------------------------------------------------------------
// Modeless dialogs.

plHwnd plCreateDialogParam(plHinstance instance, const char* templateName, plHwnd owner, plDlgProc proc,
                           plLparam param)
{
    w32::DialogBinding binding = {proc, param};
    return throughSystem([&] {
        return reinterpret_cast<plHwnd>(CreateDialogParamA(reinterpret_cast<HINSTANCE>(instance), templateName,
                                                           real(owner), w32::dialogProcedure,
                                                           reinterpret_cast<LPARAM>(&binding)));
    });
}

int plSetDlgItemText(plHwnd dialog, int item, const char* text)
{
    return throughSystem([&] { return SetDlgItemTextA(real(dialog), item, text) ? 1 : 0; });
}

int plIsDialogMessage(plHwnd dialog, plMsg* msg)
{
    MSG message = w32::systemMessage(msg);
    return throughSystem([&] { return IsDialogMessageA(real(dialog), &message) ? 1 : 0; });
}

// ---------------------------------------------------------------------------
// Printers and documents.

int plEnumPrinters(uint32_t flags, const char* name, uint32_t level, void* buffer, uint32_t size, uint32_t* needed,
                   uint32_t* returned)
{
    DWORD systemNeeded = 0;
    DWORD systemReturned = 0;
    BOOL done = EnumPrintersA(flags, const_cast<char*>(name), level, static_cast<BYTE*>(buffer), size,
                              &systemNeeded, &systemReturned);
    if (needed != nullptr) {
        *needed = systemNeeded;
    }
    if (returned != nullptr) {
        *returned = systemReturned;
    }
    return done ? 1 : 0;
}

plHdc plCreateDC(const char* driver, const char* device, const char* port, const void* devMode)
{
    return reinterpret_cast<plHdc>(CreateDCA(driver, device, port, static_cast<const DEVMODEA*>(devMode)));
}

int plDeleteDC(plHdc dc)
{
    w32::forgetAbortProcedure(real(dc));
    return DeleteDC(real(dc)) ? 1 : 0;
}

int plSetAbortProc(plHdc dc, plAbortProc proc)
{
    if (!w32::setAbortProcedure(real(dc), proc)) {
        return SP_ERROR;
    }
    return SetAbortProc(real(dc), w32::abortProcedure);
}

int plStartDoc(plHdc dc, const plDocInfo* info)
{
    DOCINFOA system;
    std::memset(&system, 0, sizeof system);
    system.cbSize = sizeof system;
    system.lpszDocName = info->docName;
    system.lpszOutput = info->output;
    system.lpszDatatype = info->datatype;
    system.fwType = info->type;
    return throughSystem([&] { return StartDocA(real(dc), &system); });
}

int plEndDoc(plHdc dc)
{
    return throughSystem([&] { return EndDoc(real(dc)); });
}

int plStartPage(plHdc dc)
{
    return throughSystem([&] { return StartPage(real(dc)); });
}

int plEndPage(plHdc dc)
{
    return throughSystem([&] { return EndPage(real(dc)); });
}

// ---------------------------------------------------------------------------
// Clipboard and movable memory blocks.

int plOpenClipboard(plHwnd owner)
{
    return throughSystem([&] { return OpenClipboard(real(owner)) ? 1 : 0; });
}

int plCloseClipboard()
{
    return throughSystem([&] { return CloseClipboard() ? 1 : 0; });
}

int plEmptyClipboard()
{
    return throughSystem([&] { return EmptyClipboard() ? 1 : 0; });
}

plHglobal plSetClipboardData(uint32_t format, plHglobal block)
{
    return throughSystem([&] { return reinterpret_cast<plHglobal>(SetClipboardData(format, real(block))); });
}

plHglobal plGetClipboardData(uint32_t format)
{
    return throughSystem([&] { return reinterpret_cast<plHglobal>(GetClipboardData(format)); });
}

int plIsClipboardFormatAvailable(uint32_t format)
{
    return IsClipboardFormatAvailable(format) ? 1 : 0;
}

plHglobal plGlobalAlloc(uint32_t flags, size_t bytes)
{
    return reinterpret_cast<plHglobal>(GlobalAlloc(flags, bytes));
}

void* plGlobalLock(plHglobal block)
{
    return GlobalLock(real(block));
}

int plGlobalUnlock(plHglobal block)
{
    return GlobalUnlock(real(block)) ? 1 : 0;
}

size_t plGlobalSize(plHglobal block)
{
    return GlobalSize(real(block));
}

plHglobal plGlobalFree(plHglobal block)
{
    return reinterpret_cast<plHglobal>(GlobalFree(real(block)));
}

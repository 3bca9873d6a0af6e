// The installed front end, the window system's settings, and the meaning of
// each hook the front end left null.
#include <time.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "portable/internal.h"
#include "portable/readback.h"

namespace ws {

pwFrontEnd hooks;
Settings settings;

void fail(const char* reason)
{
    if (hooks.fail) {
        hooks.fail(reason);
        return;
    }
    std::fprintf(stderr, "rastrel: %s\n", reason);
    std::fflush(nullptr);
    std::_Exit(3);
}

void failf(const char* format, ...)
{
    char reason[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(reason, sizeof reason, format, arguments);
    va_end(arguments);
    fail(reason);
}

pwScreenInfo screenInfo()
{
    pwScreenInfo info{96, 1024, 768, 650, 384, 0, 0};
    if (hooks.screen) hooks.screen(&info);
    if (info.clientRows > 0 && info.clientColumns > 0) {
        pwClientSizeFor(info.clientRows, info.clientColumns, &info.clientWidth, &info.clientHeight);
    }
    return info;
}

// The front end's own font, measured once per front end: every character
// drawn with it asks for its metrics.
static bool windowFontMeasured = false;
static pwFontMetrics windowFont;

pwFontMetrics measure(const pwFontRequest* request)
{
    if (!request && windowFontMeasured) return windowFont;
    pwFontMetrics metrics{8, 16, 0};
    if (hooks.measureFont) hooks.measureFont(request, &metrics);
    // A font of no size would leave nothing to place text by.
    if (metrics.width < 1) metrics.width = 1;
    if (metrics.height < 1) metrics.height = 1;
    if (!request) {
        windowFont = metrics;
        windowFontMeasured = true;
    }
    return metrics;
}

bool printerInfo(const char* name, pwPrinterInfo* info)
{
    *info = pwPrinterInfo{};
    if (!hooks.printer || !hooks.printer(name, info)) return false;
    info->name[sizeof info->name - 1] = '\0';
    return true;
}

uint64_t now()
{
    if (hooks.milliseconds) return hooks.milliseconds();
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
}

}  // namespace ws

using namespace ws;

void pwInstall(const pwFrontEnd* frontEnd)
{
    hooks = frontEnd ? *frontEnd : pwFrontEnd{};
    windowFontMeasured = false;
}

void pwSetCommandLine(const char* commandLine)
{
    settings.commandLine = commandLine ? commandLine : "";
}

void pwSetStartupInfo(uint32_t flags, uint16_t showWindow)
{
    settings.startupFlags = flags;
    settings.startupShow = showWindow;
}

void pwSetFrameInterval(int milliseconds)
{
    settings.frameInterval = milliseconds < 0 ? 0 : milliseconds;
}

void pwAnswerPrintRequest(struct plPrintDlg* request, uint16_t copies, int collate, bool pages, uint16_t fromPage,
                          uint16_t toPage)
{
    if (copies != 0) request->copies = copies;
    if (collate == 0) request->flags &= ~PD_COLLATE;
    if (collate == 1) request->flags |= PD_COLLATE;
    if (pages) {
        request->flags |= PD_PAGENUMS;
        request->fromPage = fromPage;
        request->toPage = toPage;
    } else {
        request->flags &= ~PD_PAGENUMS;
    }
}

void pwEnding(int fault)
{
    if (hooks.ending) hooks.ending(fault);
}

void pwReset()
{
    resetMessages();
    resetWindows();
    resetDrawing();
    resetMenus();
    resetDialogs();
    resetPrinters();
    resetClipboard();
    resetFrames();
    pwInstall(nullptr);
    settings = Settings{};
    lastError = 0;
}

void pwFailAllocations(int count)
{
    settings.failAllocations = count < 0 ? 0 : count;
}

// Console start-up and shutdown: the console's main routine, the return point
// that exit, abort and the interrupt come back to, and the message pump.
//
// The return point is a C++ exception of one type, thrown only by
// consoleExitHook and interruptHandler and caught only in consoleMain.  Every
// frame between the application and consoleMain (the stream objects, the
// runtime's streams, the console's hooks, the window system's dispatch) lets
// it pass.
#include "console/console.h"
#include "console/inspect.h"
#include "runtime/runtime.h"

#include <cstdlib>
#include <ios>

namespace {

// Thrown to abandon the application's main routine.
struct returnToConsole {};

consoleApplication application;
int applicationArgc;
char** applicationArgv;

// 1 while the application's main routine runs under the return point.
int32_t returnPoint;

char* transcriptBuffer;
char* pendingInputBuffer;

// The standard stream objects catch what their buffers throw and only set
// badbit, unless badbit is in their exception mask.  While the application
// runs it is, so the return point crosses `cin >> c` and `cout << x`.
enum { narrowStreamCount = 4, wideStreamCount = 4 };
std::ios_base::iostate savedNarrowMasks[narrowStreamCount];
std::ios_base::iostate savedWideMasks[wideStreamCount];

void listStreams(std::basic_ios<char>** narrow, std::basic_ios<wchar_t>** wide)
{
    narrow[0] = &rt::cin;
    narrow[1] = &rt::cout;
    narrow[2] = &rt::cerr;
    narrow[3] = &rt::clog;
    wide[0] = &rt::wcin;
    wide[1] = &rt::wcout;
    wide[2] = &rt::wcerr;
    wide[3] = &rt::wclog;
}

template <typename Stream>
void addBadbit(Stream* stream, std::ios_base::iostate* saved)
{
    *saved = stream->exceptions();
    stream->clear(stream->rdstate() & ~std::ios_base::badbit);
    stream->exceptions(*saved | std::ios_base::badbit);
}

// Back to the mask the stream had; a badbit left by an abandoned read or
// write was ours, not the stream's.
template <typename Stream>
void restoreMask(Stream* stream, std::ios_base::iostate saved)
{
    stream->exceptions(std::ios_base::goodbit);
    stream->clear(stream->rdstate() & ~std::ios_base::badbit);
    stream->exceptions(saved);
}

void letReturnPointThroughStreams()
{
    std::basic_ios<char>* narrow[narrowStreamCount];
    std::basic_ios<wchar_t>* wide[wideStreamCount];
    listStreams(narrow, wide);
    for (int i = 0; i < narrowStreamCount; i++) {
        addBadbit(narrow[i], &savedNarrowMasks[i]);
    }
    for (int i = 0; i < wideStreamCount; i++) {
        addBadbit(wide[i], &savedWideMasks[i]);
    }
}

void restoreStreamMasks()
{
    std::basic_ios<char>* narrow[narrowStreamCount];
    std::basic_ios<wchar_t>* wide[wideStreamCount];
    listStreams(narrow, wide);
    for (int i = 0; i < narrowStreamCount; i++) {
        restoreMask(narrow[i], savedNarrowMasks[i]);
    }
    for (int i = 0; i < wideStreamCount; i++) {
        restoreMask(wide[i], savedWideMasks[i]);
    }
}

// What follows the application: flush its last output, close the window
// when exit asked for it, and keep the window alive until it is destroyed.
int finishConsole()
{
    appFinished = 1;
    rt_fflush(rt_stdout);
    rt_fflush(rt_stderr);
    if (exitRequested || ConsoleSettings.autoClose) {
        plSendMessage(consoleWindow, WM_CLOSE, 0, 0);
    }
    // A window already destroyed has posted its quit message, which may have
    // been taken by a pump: never wait for what cannot come.
    if (ConsoleState.windowShown && plIsWindow(consoleWindow)) {
        messagePump loop = {};
        loop.wait = 1;
        loop.translateAccelerators = 1;
        runMessagePump(loop);
    }
    return 0;
}

}  // namespace

int createConsoleWindow(plHinstance instance)
{
    plHicon icon = plLoadIcon(nullptr, IDI_APPLICATION);
    plHcursor cursor = plLoadCursor(nullptr, IDC_ARROW);
    consoleInstance = instance;

    plWndClass windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.proc = consoleWindowProc;
    windowClass.instance = instance;
    windowClass.icon = icon;
    windowClass.cursor = cursor;
    windowClass.background = COLOR_WINDOW + 1;
    windowClass.menuName = "Vellomex";
    windowClass.className = "Vellomex";
    windowClass.smallIcon = icon;
    plRegisterClass(&windowClass);

    consoleWindow = plCreateWindowEx(0, "Vellomex", "Vellomex Text Window", WS_OVERLAPPEDWINDOW | WS_VSCROLL,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                     nullptr, instance, nullptr);
    return consoleWindow != nullptr ? 1 : 0;
}

void (*consoleEndingHook)();

void setConsoleApplication(consoleApplication routine, int argc, char** argv)
{
    application = routine;
    applicationArgc = argc;
    applicationArgv = argv;
}

int consoleRuntimeBox(const char* text, const char* caption, unsigned flags)
{
    return plMessageBox(nullptr, text, caption, flags);
}

int consoleMain(plHinstance instance, int showValue)
{
    rt_set_message_box(consoleRuntimeBox);
    rt_set_exit_hook(consoleExitHook);

    if (!createConsoleWindow(instance)) {
        return -1;
    }

    if (!transcriptBuffer) {
        transcriptBuffer = static_cast<char*>(std::malloc(consoleTranscriptSize));
    }
    if (!transcriptBuffer) {
        return -1;
    }
    if (!pendingInputBuffer) {
        pendingInputBuffer = static_cast<char*>(std::malloc(consoleInputSize));
    }
    if (!pendingInputBuffer) {
        return -1;
    }

    initConsoleState(transcriptBuffer, pendingInputBuffer, showValue, consoleTranscriptSize);
    attachConsoleStreams();

    returnPoint = 1;
    letReturnPointThroughStreams();
    try {
        rt_signal(RT_SIGINT, interruptHandler);
        if (application) {
            application(applicationArgc, applicationArgv);
        }
    } catch (const returnToConsole&) {
        // exit, abort or the interrupt abandoned the application.
    } catch (...) {
        // An exception the application threw and nobody caught ends it as
        // abort would.
        exitRequested = 1;
    }
    returnPoint = 0;
    restoreStreamMasks();
    return finishConsole();
}

void consoleExitHook()
{
    if (!returnPoint || appFinished) {
        if (consoleEndingHook) {
            consoleEndingHook();
        }
        return;
    }
    exitRequested = 1;
    if (rt_terminating()) {
        // Nothing unwinds out of the terminate handler: finish the console
        // from here and end the process as consoleMain's caller would.
        returnPoint = 0;
        restoreStreamMasks();
        rt_exit(finishConsole());
    }
    throw returnToConsole{};
}

void interruptHandler(int)
{
    if (returnPoint && !rt_terminating()) {
        throw returnToConsole{};
    }
}

pumpResult runMessagePump(const messagePump& pump)
{
    plMsg msg;
    for (;;) {
        if (pump.until && *pump.until) {
            return pumpStopped;
        }
        if (pump.wait) {
            if (plGetMessage(&msg, nullptr, 0, 0) <= 0) {
                return pumpQuit;
            }
        } else if (!plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            return pumpRanDry;
        }
        if (pump.abandon && *pump.abandon) {
            return pumpAbandoned;
        }
        if (pump.translateAccelerators && consoleAccelerators &&
            plTranslateAccelerator(consoleWindow, consoleAccelerators, &msg)) {
            continue;
        }
        if (msg.message == WM_QUIT) {
            if (pump.repostQuit) {
                plPostQuitMessage(static_cast<int>(msg.wParam));
            }
            return pumpQuit;
        }
        if (pump.dialog && *pump.dialog && plIsDialogMessage(*pump.dialog, &msg)) {
            continue;
        }
        plTranslateMessage(&msg);
        plDispatchMessage(&msg);
    }
}

void pumpMessages()
{
    messagePump afterOutput = {};
    afterOutput.translateAccelerators = 1;
    runMessagePump(afterOutput);
}

void showConsoleWindow(int forOutput)
{
    if (ConsoleState.windowShown) {
        return;
    }
    plShowWindow(consoleWindow, ConsoleState.showCommand);
    plUpdateWindow(consoleWindow);
    if (forOutput) {
        consoleAccelerators = plLoadAccelerators(consoleInstance, "Vellomex");
    }
    ConsoleState.windowShown = 1;
}

void consoleReset()
{
    ConsoleState = {};
    transcriptBlock = nullptr;
    transcriptBlockSize = 0;
    forgetRowAnchor();
    ConsoleSettings = consoleDefaultSettings;
    consoleWindow = nullptr;
    consoleAccelerators = nullptr;
    consoleInstance = nullptr;
    appFinished = 0;
    exitRequested = 0;
    endOfInput = 0;
    rowFill = 0;
    lineWraps = 0;
    caretRow = 0;
    caretColumn = 0;
    keepView = 0;
    cellWidth = 0;
    cellHeight = 0;
    pressRow = -1;
    pressColumn = -1;
    shownTop = -1;
    cachedFont = nullptr;
    cachedFontName[0] = '\0';
    cachedFontSize = 0;
    savePath[0] = '\0';
    saveTitle[0] = '\0';
    returnPoint = 0;
    consoleEndingHook = nullptr;
}

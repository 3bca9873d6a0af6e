#include "tests/portable/fixture.h"

std::vector<Received> received;
std::vector<std::string> failures;
plLresult queryEndSessionAnswer = 1;
const char* paintText = nullptr;
void (*onInitMenuPopup)(plHwnd window, plWparam popup, plLparam position) = nullptr;

static void recordFailure(const char* reason)
{
    failures.push_back(reason);
}

plLresult recordingProc(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    received.push_back(Received{window, message, wParam, lParam});
    switch (message) {
    case WM_PAINT: {
        plPaintStruct paint{};
        plHdc dc = plBeginPaint(window, &paint);
        if (paintText) plTextOut(dc, 5, 0, paintText, static_cast<int>(std::string(paintText).size()));
        plEndPaint(window, &paint);
        return 0;
    }
    case WM_QUERYENDSESSION:
        return queryEndSessionAnswer;
    case WM_INITMENUPOPUP:
        if (onInitMenuPopup) onInitMenuPopup(window, wParam, lParam);
        return 0;
    default:
        return plDefWindowProc(window, message, wParam, lParam);
    }
}

// File: Open (grayed), Save; Edit: Cut (grayed), Paste.
static const plMenuTemplateItem testMenu[] = {
    {MF_POPUP, 0, "&File"},
    {MF_GRAYED, 11, "&Open"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_END, 13, "&Save"},
    {MF_POPUP | MF_END, 0, "&Edit"},
    {MF_GRAYED, 17, "Cu&t"},
    {MF_END, 19, "&Paste"},
};

void PlatformTest::SetUp()
{
    hlReset();
    hlSetFailureHandler(recordFailure);
    received.clear();
    failures.clear();
    queryEndSessionAnswer = 1;
    paintText = nullptr;
    onInitMenuPopup = nullptr;
    instance = plGetModuleHandle(nullptr);
    plAddMenuResource(instance, "TestMenu", testMenu, 7);
    plWndClass windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.proc = recordingProc;
    windowClass.instance = instance;
    windowClass.background = COLOR_WINDOW + 1;
    windowClass.menuName = "TestMenu";
    windowClass.className = "Recorder";
    ASSERT_NE(plRegisterClass(&windowClass), 0);
}

void PlatformTest::TearDown()
{
    hlReset();
}

plHwnd PlatformTest::makeWindow(uint32_t style)
{
    plHwnd window = plCreateWindowEx(0, "Recorder", "Test Window", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    EXPECT_NE(window, nullptr);
    return window;
}

std::vector<uint32_t> PlatformTest::messagesOf(plHwnd window) const
{
    std::vector<uint32_t> messages;
    for (const Received& r : received) {
        if (r.window == window) messages.push_back(r.message);
    }
    return messages;
}

int PlatformTest::countOf(uint32_t message) const
{
    int count = 0;
    for (const Received& r : received) count += r.message == message ? 1 : 0;
    return count;
}

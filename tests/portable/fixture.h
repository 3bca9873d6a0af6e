// A tiny window procedure of the tests' own that records every message, and a
// fixture that starts each test on a fresh window system.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontends/headless/readback.h"
#include "portable/readback.h"
#include "platform/platform.h"

struct Received {
    plHwnd window;
    uint32_t message;
    plWparam wParam;
    plLparam lParam;
};

extern std::vector<Received> received;
extern std::vector<std::string> failures;
// What the test procedure answers to WM_QUERYENDSESSION.
extern plLresult queryEndSessionAnswer;
// When set, the test procedure paints this text at row 0 on WM_PAINT.
extern const char* paintText;

// Called by the test procedure on WM_INITMENUPOPUP, when set.
extern void (*onInitMenuPopup)(plHwnd window, plWparam popup, plLparam position);

plLresult recordingProc(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam);

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A window of the recording class (redraws on size changes, has the test menu).
    plHwnd makeWindow(uint32_t style = WS_OVERLAPPEDWINDOW);
    // The messages received, in order, without the ones in `ignore`.
    std::vector<uint32_t> messagesOf(plHwnd window) const;
    int countOf(uint32_t message) const;

    plHinstance instance = nullptr;
};

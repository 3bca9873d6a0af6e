// A display of the tests' own: Xvfb, started by the test program itself, so
// no window appears on a developer's desktop and CI needs no display.
#pragma once

#include <string>

// Starts Xvfb once per process and points DISPLAY at it, with the desktop's
// services a test must not reach turned off (the session bus, the
// accessibility bus, stored settings).  False, with the reason, when Xvfb
// is not installed or does not start.
bool startTestDisplay(std::string* reason);

// Skips the current test when there is no display.
#define REQUIRE_TEST_DISPLAY()                                  \
    do {                                                        \
        std::string whyNot;                                     \
        if (!startTestDisplay(&whyNot)) GTEST_SKIP() << whyNot; \
    } while (0)

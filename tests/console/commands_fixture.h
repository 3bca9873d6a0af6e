// A console window on the headless front end, set up as the console's main
// routine sets it up, for the tests of the menu commands and of printing.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/console.h"
#include "console/inspect.h"
#include "frontends/headless/readback.h"
#include "portable/readback.h"

namespace commandsTest {

inline char transcript[consoleTranscriptSize];
inline char pendingInput[consoleInputSize];
inline std::string failures;      // reasons the window system gave up
inline int failuresExpected;      // set by a test that provokes one

inline void recordFailure(const char* reason)
{
    failures += reason;
    failures += '\n';
    if (!failuresExpected) {
        ADD_FAILURE() << "window system: " << reason;
    }
}

class ConsoleWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        hlReset();
        failures.clear();
        failuresExpected = 0;
        hlSetFailureHandler(recordFailure);

        consoleReset();

        plHinstance instance = plGetModuleHandle(nullptr);
        registerConsoleResources(instance);
        ASSERT_EQ(createConsoleWindow(instance), 1);
        window = consoleWindow;
        std::memset(transcript, '#', sizeof transcript);
        initConsoleState(transcript, pendingInput, SW_SHOWDEFAULT, consoleTranscriptSize);
        plShowWindow(window, SW_SHOWDEFAULT);
        ConsoleState.windowShown = 1;
        pwPump();
    }

    void TearDown() override { hlSetFailureHandler(nullptr); }

    // The transcript as output would have left it: text, rows counted,
    // marked modified when not empty.
    static void setText(const std::string& text)
    {
        ASSERT_LT(text.size(), static_cast<size_t>(consoleCapacity));
        setTranscriptText(text.data(), static_cast<int32_t>(text.size()));
        ConsoleState.modified = text.empty() ? 0 : 1;
    }
    static std::string text() { return std::string(ConsoleState.textStart, ConsoleState.textEnd); }
    static std::string pending() { return std::string(ConsoleState.inputStart, ConsoleState.inputEnd); }

    static void select(size_t start, size_t end)
    {
        ConsoleState.selAnchor = ConsoleState.textStart + start;
        ConsoleState.selStart = ConsoleState.textStart + start;
        ConsoleState.selEnd = ConsoleState.textStart + end;
    }

    plLresult command(uint16_t id) { return plSendMessage(window, WM_COMMAND, id, 0); }

    // The message boxes shown since the test began, one "CAPTION|TEXT" each.
    static std::string boxTexts()
    {
        std::string all;
        for (int i = 0; i < hlBoxCount(); ++i) {
            all += hlBox(i)->text;
            all += '\n';
        }
        return all;
    }

    plHwnd window = nullptr;
};

}  // namespace commandsTest

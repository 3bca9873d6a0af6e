// The virtual printer: enumeration with its size protocol, printer contexts,
// documents and pages as recorded, injected failures, the abort procedure and
// a cancel pressed after a given page.
#include <cstdlib>
#include <cstring>

#include "tests/portable/fixture.h"

namespace {

const plDialogItemTemplate cancelItems[] = {
    {plDialogStatic, 10, "", 0, 0, 100, 10},
    {plDialogButton, IDCANCEL, "Cancel", 30, 20, 40, 14},
};
const plDialogTemplate cancelTemplate = {"Printing", 0, 0, 120, 40, 2, cancelItems};

// A print job in the shape the console runs it: a modeless cancel dialog,
// an abort procedure that pumps messages through it, a page loop.
bool cancelled = false;
plHwnd cancelDialog = nullptr;
int abortCalls = 0;

intptr_t cancelProc(plHwnd dialog, uint32_t message, plWparam, plLparam)
{
    if (message == WM_INITDIALOG) {
        plEnableMenuItem(plGetSystemMenu(dialog, 0), SC_CLOSE, MF_GRAYED);
        return 1;
    }
    if (message == WM_COMMAND) {
        cancelled = true;
        plEnableWindow(plGetParent(dialog), 1);
        plDestroyWindow(dialog);
        cancelDialog = nullptr;
        return 1;
    }
    return 0;
}

int abortProc(plHdc, int)
{
    ++abortCalls;
    plMsg msg{};
    while (!cancelled && plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (cancelDialog && plIsDialogMessage(cancelDialog, &msg)) continue;
        plTranslateMessage(&msg);
        plDispatchMessage(&msg);
    }
    return cancelled ? 0 : 1;
}

class Printing : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        plAddDialogResource(instance, "PrintDlgBox", &cancelTemplate);
        owner = makeWindow();
        plShowWindow(owner, SW_SHOW);
        pwPump();
        cancelled = false;
        cancelDialog = nullptr;
        abortCalls = 0;
    }

    plHdc printerDc() { return plCreateDC(nullptr, hlPrinterName(), nullptr, nullptr); }

    // Prints `pages` pages of one text line and a rule each; returns whether
    // the job ran to its end.
    bool job(int pages)
    {
        plHdc dc = printerDc();
        if (!dc) return false;
        plEnableWindow(owner, 0);
        cancelDialog = plCreateDialogParam(instance, "PrintDlgBox", owner, cancelProc, 0);
        plSetDlgItemText(cancelDialog, 10, "job.txt");
        plSetAbortProc(dc, abortProc);
        plDocInfo info{20, "Vellomex.out", nullptr, nullptr, 0};
        bool failed = plStartDoc(dc, &info) <= 0;
        for (int page = 1; page <= pages && !failed && !cancelled; ++page) {
            if (plStartPage(dc) < 0) {
                failed = true;
                break;
            }
            char text[32];
            std::snprintf(text, sizeof text, "Page %i", page);
            plTextOut(dc, 4400, 0, text, static_cast<int>(std::strlen(text)));
            plMoveToEx(dc, 0, 100, nullptr);
            plLineTo(dc, 4800, 100);
            if (plEndPage(dc) < 0) failed = true;
        }
        if (!failed) plEndDoc(dc);
        if (!cancelled) {
            plEnableWindow(owner, 1);
            plDestroyWindow(cancelDialog);
        }
        cancelDialog = nullptr;
        plDeleteDC(dc);
        return !failed && !cancelled;
    }

    plHwnd owner = nullptr;
};

TEST_F(Printing, EnumerationReportsTheSizeFirstThenListsThePrinter)
{
    for (uint32_t level : {4u, 5u}) {
        uint32_t needed = 0, returned = 9;
        EXPECT_EQ(plEnumPrinters(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 0, &needed, &returned), 0);
        EXPECT_EQ(plGetLastError(), ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(returned, 0u);
        ASSERT_GT(needed, 0u);
        void* buffer = std::malloc(needed);
        EXPECT_EQ(plEnumPrinters(PRINTER_ENUM_LOCAL, nullptr, level, buffer, needed - 1, &needed, &returned), 0);
        ASSERT_EQ(plEnumPrinters(PRINTER_ENUM_LOCAL, nullptr, level, buffer, needed, &needed, &returned), 1);
        EXPECT_EQ(returned, 1u);
        const char* name = level == 4 ? static_cast<plPrinterInfo4*>(buffer)->printerName
                                      : static_cast<plPrinterInfo5*>(buffer)->printerName;
        EXPECT_STREQ(name, hlPrinterName());
        plHdc dc = plCreateDC(nullptr, name, nullptr, nullptr);
        EXPECT_NE(dc, nullptr);
        plDeleteDC(dc);
        std::free(buffer);
    }
    uint32_t needed = 0, returned = 0;
    EXPECT_EQ(plEnumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned), 0);
}

TEST_F(Printing, NoPrinterListsNothingAndMakesNoContext)
{
    hlPrinterConfig none = hlDefaultPrinter();
    none.present = 0;
    hlSetPrinter(none);
    uint32_t needed = 5, returned = 5;
    EXPECT_EQ(plEnumPrinters(PRINTER_ENUM_DEFAULT, nullptr, 5, nullptr, 0, &needed, &returned), 1);
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(printerDc(), nullptr);
    EXPECT_EQ(plCreateDC(nullptr, "Some Other Printer", nullptr, nullptr), nullptr);
}

TEST_F(Printing, PrinterContextHasTheDeviceSizeAndDefaultFont)
{
    hlPrinterConfig printer = hlDefaultPrinter();
    EXPECT_EQ(printer.width, 4800);
    plHdc dc = printerDc();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(plGetDeviceCaps(dc, HORZRES), 4800);
    EXPECT_EQ(plGetDeviceCaps(dc, VERTRES), 6600);
    plTextMetric metrics{};
    plGetTextMetrics(dc, &metrics);
    EXPECT_EQ(metrics.aveCharWidth, 50);
    EXPECT_EQ(metrics.height, 100);
    EXPECT_EQ(metrics.externalLeading, 0);
    plDeleteDC(dc);

    printer.width = 800;
    printer.charWidth = 0;
    hlSetPrinter(printer);
    dc = printerDc();
    plGetTextMetrics(dc, &metrics);
    EXPECT_EQ(metrics.aveCharWidth, 0);
    EXPECT_EQ(plGetDeviceCaps(dc, HORZRES), 800);
    plDeleteDC(dc);
}

TEST_F(Printing, DocumentsRecordNamePagesTextAndLines)
{
    ASSERT_TRUE(job(2));
    ASSERT_EQ(hlDocumentCount(), 1);
    const hlDocument* document = hlDocumentAt(0);
    EXPECT_EQ(document->name, "Vellomex.out");
    EXPECT_TRUE(document->ended);
    EXPECT_FALSE(document->aborted);
    ASSERT_EQ(document->pages.size(), 2u);
    const hlPage& second = document->pages[1];
    EXPECT_TRUE(second.ended);
    ASSERT_EQ(second.texts.size(), 1u);
    EXPECT_EQ(second.texts[0].x, 4400);
    EXPECT_EQ(second.texts[0].text, "Page 2");
    ASSERT_EQ(second.lines.size(), 1u);
    EXPECT_EQ(second.lines[0].y1, 100);
    EXPECT_EQ(second.lines[0].x2, 4800);
    // The spooler ran the abort procedure at every page start and end.
    EXPECT_EQ(abortCalls, 4);
    EXPECT_TRUE(plIsWindowEnabled(owner));
    EXPECT_EQ(plGetFocus(), owner);
    EXPECT_EQ(pwLiveDcCount(), 0);
}

TEST_F(Printing, InjectedStartDocFailureReturnsTheValueAndRecordsNothing)
{
    for (int result : {0, -1}) {
        hlPrinterConfig printer = hlDefaultPrinter();
        printer.startDocResult = result;
        hlSetPrinter(printer);
        plHdc dc = printerDc();
        plDocInfo info{20, "Vellomex.out", nullptr, nullptr, 0};
        EXPECT_EQ(plStartDoc(dc, &info), result);
        EXPECT_LT(plStartPage(dc), 0);   // no document to put a page in
        plDeleteDC(dc);
    }
    EXPECT_EQ(hlDocumentCount(), 0);
}

TEST_F(Printing, InjectedPageFailuresAreNegative)
{
    hlPrinterConfig printer = hlDefaultPrinter();
    printer.failEndPage = 1;
    hlSetPrinter(printer);
    EXPECT_FALSE(job(3));
    ASSERT_EQ(hlDocumentCount(), 1);
    EXPECT_EQ(hlDocumentAt(0)->pages.size(), 1u);
    EXPECT_FALSE(hlDocumentAt(0)->pages[0].ended);
    EXPECT_FALSE(hlDocumentAt(0)->ended);
    EXPECT_TRUE(hlDocumentAt(0)->aborted);   // the context went with the document open

    printer.failEndPage = 0;
    printer.failStartPage = 1;
    hlSetPrinter(printer);
    EXPECT_FALSE(job(3));
    EXPECT_EQ(hlDocumentAt(1)->pages.size(), 0u);
}

TEST_F(Printing, AbortProcedureSayingStopFailsEveryLaterPageCall)
{
    plHdc dc = printerDc();
    plSetAbortProc(dc, [](plHdc, int) -> int { return 0; });
    plDocInfo info{20, "stopped", nullptr, nullptr, 0};
    ASSERT_GT(plStartDoc(dc, &info), 0);
    EXPECT_LT(plStartPage(dc), 0);
    EXPECT_LT(plStartPage(dc), 0);
    EXPECT_EQ(plEndDoc(dc), 1);
    EXPECT_TRUE(hlDocumentAt(0)->cancelled);
    plDeleteDC(dc);
    EXPECT_EQ(plSetAbortProc(nullptr, abortProc), -1);
}

TEST_F(Printing, CancelAfterOnePageStopsAtTheNextPageStart)
{
    hlPrinterConfig printer = hlDefaultPrinter();
    printer.cancelAfterPages = 1;
    hlSetPrinter(printer);
    EXPECT_FALSE(job(3));
    EXPECT_TRUE(cancelled);
    ASSERT_EQ(hlDocumentCount(), 1);
    const hlDocument* document = hlDocumentAt(0);
    ASSERT_EQ(document->pages.size(), 1u);
    EXPECT_TRUE(document->pages[0].ended);
    EXPECT_TRUE(document->cancelled);
    EXPECT_FALSE(document->ended);
    // The cancel dialog enabled its owner again and went away.
    EXPECT_TRUE(plIsWindowEnabled(owner));
    EXPECT_FALSE(plIsWindow(hlLastDialog()));
}

TEST_F(Printing, CancelAfterTheLastPageChangesNothing)
{
    hlPrinterConfig printer = hlDefaultPrinter();
    printer.cancelAfterPages = 2;
    hlSetPrinter(printer);
    EXPECT_TRUE(job(2));
    EXPECT_FALSE(cancelled);
    EXPECT_TRUE(hlDocumentAt(0)->ended);
    pwPump();   // the press was for a dialog that is gone
    EXPECT_FALSE(cancelled);
}

}  // namespace

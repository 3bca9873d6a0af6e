// Printing the transcript on the headless front end's virtual printer: page
// layout, wrapping, copies, page ranges, cancelling and every failure.
#include <string>
#include <vector>

#include "commands_fixture.h"
#include "runtime/runtime.h"

namespace {

using commandsTest::ConsoleWindow;

// "line 0\r\nline 1\r\n..." for count lines, each ending with CR LF.
std::string numberedLines(int count)
{
    std::string all;
    for (int i = 0; i < count; ++i) {
        all += "line " + std::to_string(i) + "\r\n";
    }
    return all;
}

// Every message box of a print job is answered OK.
void answerOk(hlAnswerKind kind)
{
    if (kind == hlAnswerBox) {
        hlQueueBoxAnswer(IDOK);
    }
}

class Printing : public ConsoleWindow {
protected:
    void SetUp() override
    {
        ConsoleWindow::SetUp();
        hlSetAnswerHandler(answerOk);
        printer = hlDefaultPrinter();
    }

    // Prints through the menu command, answering the print dialog.
    void print(const hlPrintAnswer& answer)
    {
        hlSetPrinter(printer);
        hlQueuePrintAnswer(answer);
        plSendMessage(window, WM_COMMAND, commandPrint, 0);
    }
    void print() { print(hlPrintOk()); }

    static hlPrintAnswer copies(int count, int collate)
    {
        hlPrintAnswer answer = hlPrintOk();
        answer.copies = count;
        answer.collate = collate;
        return answer;
    }
    static hlPrintAnswer pages(int from, int to)
    {
        hlPrintAnswer answer = hlPrintOk();
        answer.fromPage = from;
        answer.toPage = to;
        return answer;
    }

    static const hlPage& page(int index)
    {
        static const hlPage none{};
        const hlDocument* document = hlDocumentAt(hlDocumentCount() - 1);
        if (document == nullptr || index >= static_cast<int>(document->pages.size())) {
            ADD_FAILURE() << "no page " << index;
            return none;
        }
        return document->pages[index];
    }
    static int pageCount()
    {
        const hlDocument* document = hlDocumentAt(hlDocumentCount() - 1);
        return document != nullptr ? static_cast<int>(document->pages.size()) : -1;
    }

    // The page's body rows: text items below the rule, by row, pieces joined.
    static std::vector<std::string> bodyRows(const hlPage& page, int rowHeight = 100)
    {
        std::vector<std::string> rows;
        for (const hlTextItem& item : page.texts) {
            if (item.y < 2 * rowHeight) {
                continue;
            }
            size_t row = static_cast<size_t>(item.y / rowHeight - 2);
            if (rows.size() <= row) {
                rows.resize(row + 1);
            }
            rows[row] += item.text;
        }
        return rows;
    }
    // The header's texts, left to right.
    static std::vector<hlTextItem> header(const hlPage& page)
    {
        std::vector<hlTextItem> items;
        for (const hlTextItem& item : page.texts) {
            if (item.y == 0) {
                items.push_back(item);
            }
        }
        return items;
    }
    static std::string pageLabel(const hlPage& page)
    {
        std::vector<hlTextItem> items = header(page);
        return items.empty() ? std::string() : items.back().text;
    }

    hlPrinterConfig printer;
};

// ---------------------------------------------------------------------------
// Layout

TEST_F(Printing, APageHasAHeaderARuleAndTheRows)
{
    setText("hello\r\nworld");
    print();
    EXPECT_EQ(hlBoxCount(), 0) << boxTexts();
    ASSERT_EQ(hlDocumentCount(), 1);
    const hlDocument* document = hlDocumentAt(0);
    EXPECT_EQ(document->name, "Vellomex.out");
    EXPECT_EQ(document->ended, 1);
    ASSERT_EQ(pageCount(), 1);

    const hlPage& first = page(0);
    EXPECT_EQ(first.ended, 1);
    std::vector<hlTextItem> top = header(first);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0].x, 0);
    EXPECT_EQ(top[0].text, "Vellomex.out");
    EXPECT_EQ(top[1].x, (96 - 6) * 50);   // "Page 1" ends at the 96th column
    EXPECT_EQ(top[1].text, "Page 1");
    ASSERT_EQ(first.lines.size(), 1u);
    EXPECT_EQ(first.lines[0].x1, 0);
    EXPECT_EQ(first.lines[0].y1, 100);
    EXPECT_EQ(first.lines[0].x2, 96 * 50);
    EXPECT_EQ(first.lines[0].y2, 100);
    ASSERT_EQ(first.texts.size(), 4u);
    EXPECT_EQ(first.texts[2].x, 0);
    EXPECT_EQ(first.texts[2].y, 200);
    EXPECT_EQ(first.texts[2].text, "hello");
    EXPECT_EQ(first.texts[3].y, 300);
    EXPECT_EQ(first.texts[3].text, "world");

    // The dialog request and the window's state afterwards.
    struct plPrintDlg request = hlLastPrintRequest();
    EXPECT_EQ(request.structSize, 66u);
    EXPECT_EQ(request.owner, window);
    EXPECT_EQ(request.flags, 0x114u);
    EXPECT_EQ(request.fromPage, 1);
    EXPECT_EQ(request.toPage, 65535);
    EXPECT_EQ(request.minPage, 1);
    EXPECT_EQ(request.maxPage, 65535);
    EXPECT_EQ(request.copies, 1);
    EXPECT_EQ(plIsWindowEnabled(window), 1);
    EXPECT_EQ(pwDisableCount(window), 1);
    EXPECT_EQ(pwLiveDcCount(), 0);
}

// The cancel dialog's title item, as the job's abort procedure finds it.
std::string cancelTitle = "(no dialog)";
int readCancelTitle()
{
    if (plIsWindow(hlLastDialog())) {
        cancelTitle = hlDialogItemText(hlLastDialog(), 10);
    }
    return 0;
}

TEST_F(Printing, TheSavedTitleHeadsThePagesAndTheCancelDialog)
{
    setText("text");
    std::strcpy(saveTitle, "session.txt");
    hlSetPeekHandler(readCancelTitle);
    print();
    hlSetPeekHandler(nullptr);
    EXPECT_EQ(header(page(0))[0].text, "session.txt");
    EXPECT_EQ(cancelTitle, "session.txt");
    EXPECT_EQ(plIsWindow(hlLastDialog()), 0);
}

TEST_F(Printing, ALongTitleStopsShortOfThePageNumber)
{
    setText("text");
    std::memset(saveTitle, 'T', 200);
    saveTitle[200] = '\0';
    print();
    std::vector<hlTextItem> top = header(page(0));
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0].text, std::string(89, 'T'));
    EXPECT_EQ(top[1].text, "Page 1");
}

TEST_F(Printing, ALongLineContinuesOnTheFollowingRows)
{
    std::string line;
    for (int i = 0; i < 200; ++i) {
        line += static_cast<char>('a' + i % 26);
    }
    // A row cut at the edge right before its line end adds no empty row.
    setText(line + "\r\n" + std::string(96, 'x') + "\r\nafter");
    print();
    std::vector<std::string> rows = bodyRows(page(0));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], line.substr(0, 96));
    EXPECT_EQ(rows[1], line.substr(96, 96));
    EXPECT_EQ(rows[2], line.substr(192));
    EXPECT_EQ(rows[3], std::string(96, 'x'));
    EXPECT_EQ(rows[4], "after");
}

TEST_F(Printing, ABlankLineIsOneEmptyRow)
{
    setText("a\r\n\r\nb");
    print();
    const hlPage& first = page(0);
    ASSERT_EQ(first.texts.size(), 4u);   // the header's two, "a" and "b"
    EXPECT_EQ(first.texts[2].text, "a");
    EXPECT_EQ(first.texts[2].y, 200);
    EXPECT_EQ(first.texts[3].text, "b");
    EXPECT_EQ(first.texts[3].y, 400);
}

TEST_F(Printing, RowsRunOnToFurtherPages)
{
    setText(numberedLines(130));
    print();
    ASSERT_EQ(pageCount(), 3);
    EXPECT_EQ(bodyRows(page(0)).size(), 64u);
    EXPECT_EQ(bodyRows(page(0))[63], "line 63");
    EXPECT_EQ(bodyRows(page(1))[0], "line 64");
    EXPECT_EQ(bodyRows(page(2)).size(), 2u);
    EXPECT_EQ(pageLabel(page(2)), "Page 3");
}

TEST_F(Printing, AFullLastPageAddsNoBlankPage)
{
    setText(numberedLines(64));
    print();
    EXPECT_EQ(pageCount(), 1);
}

TEST_F(Printing, EveryByteReachesThePaperWhenPaperWrapsMoreThanTheScreen)
{
    // 40 characters a row on paper, 80 on the screen: each line of 70 takes
    // one screen row but two rows on paper.
    printer.width = 2000;
    std::string all;
    std::string printed;
    for (int i = 0; i < 40; ++i) {
        std::string line(70, static_cast<char>('A' + i % 26));
        all += line + "\r\n";
        printed += line;
    }
    all += std::string(30, 'z');
    printed += std::string(30, 'z');
    setText(all);
    print();
    std::string got;
    for (int p = 0; p < pageCount(); ++p) {
        for (const std::string& row : bodyRows(page(p))) {
            got += row;
        }
    }
    EXPECT_EQ(pageCount(), 2);   // 81 rows of 64 a page
    EXPECT_EQ(got, printed);
}

TEST_F(Printing, RowsWiderThanTheRowBufferArePrintedInPieces)
{
    printer.width = 20000;   // 400 characters a row
    std::string line;
    for (int i = 0; i < 300; ++i) {
        line += static_cast<char>('a' + i % 26);
    }
    setText(line);
    print();
    const hlPage& first = page(0);
    ASSERT_EQ(first.texts.size(), 4u);
    EXPECT_EQ(first.texts[1].x, (400 - 6) * 50);
    EXPECT_EQ(first.texts[2].text, line.substr(0, 256));
    EXPECT_EQ(first.texts[2].x, 0);
    EXPECT_EQ(first.texts[3].text, line.substr(256));
    EXPECT_EQ(first.texts[3].x, 256 * 50);
    EXPECT_EQ(first.texts[3].y, 200);
}

// ---------------------------------------------------------------------------
// Copies and page ranges

TEST_F(Printing, CollatedCopiesRepeatTheWholeDocument)
{
    setText(numberedLines(100));
    print(copies(3, 1));
    ASSERT_EQ(pageCount(), 6);
    const char* expected[] = {"Page 1", "Page 2", "Page 1", "Page 2", "Page 1", "Page 2"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pageLabel(page(i)), expected[i]);
        EXPECT_EQ(bodyRows(page(i))[0], i % 2 == 0 ? "line 0" : "line 64");
    }
}

TEST_F(Printing, UncollatedCopiesRepeatEachPage)
{
    setText(numberedLines(100));
    print(copies(3, 0));
    ASSERT_EQ(pageCount(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pageLabel(page(i)), i < 3 ? "Page 1" : "Page 2");
        EXPECT_EQ(bodyRows(page(i)), bodyRows(page(i < 3 ? 0 : 3)));
    }
    EXPECT_EQ(bodyRows(page(3))[0], "line 64");
}

TEST_F(Printing, APageRangePrintsThosePagesWithTheirOwnNumbersAndRows)
{
    setText(numberedLines(200));   // 4 pages
    print(pages(2, 3));
    ASSERT_EQ(pageCount(), 2);
    EXPECT_EQ(pageLabel(page(0)), "Page 2");
    EXPECT_EQ(bodyRows(page(0))[0], "line 64");
    EXPECT_EQ(pageLabel(page(1)), "Page 3");
    EXPECT_EQ(bodyRows(page(1))[0], "line 128");
}

TEST_F(Printing, PagesPastTheTextHaveOnlyTheirHeader)
{
    setText(numberedLines(100));   // 2 pages
    print(pages(2, 3));
    ASSERT_EQ(pageCount(), 2);
    EXPECT_EQ(bodyRows(page(0)).size(), 36u);
    EXPECT_EQ(page(1).texts.size(), 2u);
    EXPECT_EQ(page(1).lines.size(), 1u);
    EXPECT_EQ(pageLabel(page(1)), "Page 3");
}

TEST_F(Printing, AReversedRangeIsTakenTheRightWayRound)
{
    setText(numberedLines(200));
    print(pages(3, 2));
    ASSERT_EQ(pageCount(), 2);
    EXPECT_EQ(pageLabel(page(0)), "Page 2");
    EXPECT_EQ(pageLabel(page(1)), "Page 3");
}

// ---------------------------------------------------------------------------
// Nothing to print, failures and cancelling

TEST_F(Printing, AnEmptyTranscriptSaysSoAfterTheDialog)
{
    print();
    EXPECT_EQ(hlPrintDialogCount(), 1);
    EXPECT_EQ(boxTexts(), "nothing to print\n");
    EXPECT_EQ(hlBox(0)->type, static_cast<uint32_t>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(hlDocumentCount(), 0);
    EXPECT_EQ(pwLiveDcCount(), 0);
}

TEST_F(Printing, ADismissedDialogPrintsNothingAndSaysNothing)
{
    setText("text");
    hlPrintAnswer cancel = hlPrintOk();
    cancel.ok = 0;
    print(cancel);
    EXPECT_EQ(hlDocumentCount(), 0);
    EXPECT_EQ(hlBoxCount(), 0);
    EXPECT_EQ(pwDisableCount(window), 0);
}

TEST_F(Printing, WithoutADeviceContextTheDefaultPrinterIsUsed)
{
    setText("text");
    hlPrintAnswer answer = hlPrintOk();
    answer.noDc = 1;
    print(answer);
    EXPECT_EQ(hlBoxCount(), 0) << boxTexts();
    ASSERT_EQ(hlDocumentCount(), 1);
    EXPECT_EQ(bodyRows(page(0))[0], "text");
    EXPECT_EQ(pwLiveDcCount(), 0);
}

TEST_F(Printing, NoPrinterAtAll)
{
    setText("text");
    printer.present = 0;
    hlPrintAnswer answer = hlPrintOk();
    answer.noDc = 1;
    print(answer);
    EXPECT_EQ(boxTexts(), "Default printer not found\nCould not print output\n");
    EXPECT_EQ(hlDocumentCount(), 0);
    EXPECT_EQ(plIsWindowEnabled(window), 1);
}

TEST_F(Printing, AFailedStartOfTheDocumentPrintsNoPage)
{
    for (int result : {0, -1}) {
        hlReset();
        SetUp();
        setText("text");
        printer.startDocResult = result;
        print();
        EXPECT_EQ(boxTexts(), "Could not print output\n") << result;
        EXPECT_EQ(pageCount() <= 0, true) << result;
        EXPECT_EQ(plIsWindowEnabled(window), 1);
        EXPECT_EQ(plIsWindow(hlLastDialog()), 0);
        EXPECT_EQ(pwLiveDcCount(), 0);
    }
}

TEST_F(Printing, AFailingPageStopsTheJobWithoutEndingTheDocument)
{
    for (int which = 0; which < 2; ++which) {
        hlReset();
        SetUp();
        setText(numberedLines(200));
        (which == 0 ? printer.failStartPage : printer.failEndPage) = 1;
        print();
        EXPECT_EQ(boxTexts(), "Could not print output\n");
        ASSERT_EQ(hlDocumentCount(), 1);
        EXPECT_EQ(hlDocumentAt(0)->ended, 0);
        EXPECT_LE(pageCount(), 1);
        EXPECT_EQ(plIsWindowEnabled(window), 1);
        EXPECT_EQ(pwLiveDcCount(), 0);
    }
}

TEST_F(Printing, CancellingAfterOnePageStopsThereAndFreesTheWindow)
{
    setText(numberedLines(200));
    printer.cancelAfterPages = 1;
    print();
    EXPECT_EQ(boxTexts(), "Could not print output\n");
    EXPECT_EQ(pageCount(), 1);
    EXPECT_EQ(plIsWindowEnabled(window), 1);
    EXPECT_EQ(plIsWindow(hlLastDialog()), 0);
    EXPECT_EQ(pwLiveDcCount(), 0);

    // The next job starts afresh.
    printer.cancelAfterPages = 0;
    print();
    EXPECT_EQ(pageCount(), 4);
    EXPECT_EQ(hlBoxCount(), 1);
}

TEST_F(Printing, DevicesWithoutRoomForTextAreRefused)
{
    struct Device { int width, height, charWidth, rowHeight; };
    // Two rows a page (header and rule only), no character width, a page
    // narrower than one character.
    for (Device device : {Device{4800, 299, 50, 100}, Device{4800, 6600, 0, 100}, Device{40, 6600, 50, 100}}) {
        hlReset();
        SetUp();
        setText("text");
        printer.width = device.width;
        printer.height = device.height;
        printer.charWidth = device.charWidth;
        printer.rowHeight = device.rowHeight;
        print();
        EXPECT_EQ(boxTexts(), "Could not print output\n") << device.width << " " << device.height;
        EXPECT_EQ(hlDocumentCount(), 0);
        EXPECT_EQ(plIsWindowEnabled(window), 1);
        EXPECT_EQ(pwLiveDcCount(), 0);
    }
    // Three rows: one body row a page.
    hlReset();
    SetUp();
    setText("a\r\nb");
    printer.height = 300;
    print();
    EXPECT_EQ(hlBoxCount(), 0) << boxTexts();
    EXPECT_EQ(pageCount(), 2);
}

// The interrupt leaves a job at the return point, unwinding through it: a
// Ctrl+C typed before Print is handled by the job's own pump.
struct interrupted {};
void throwInterrupt(int) { throw interrupted{}; }

TEST_F(Printing, AnInterruptDuringTheJobFreesTheWindow)
{
    setText(numberedLines(200));
    pwPostChar(window, charCtrlC);
    rt_signal(RT_SIGINT, throwInterrupt);
    EXPECT_THROW(print(), interrupted);
    rt_signal(RT_SIGINT, RT_SIG_DFL);
    EXPECT_EQ(plIsWindowEnabled(window), 1);
    EXPECT_EQ(plIsWindow(hlLastDialog()), 0);
    EXPECT_EQ(pwLiveDcCount(), 0);
    ASSERT_EQ(hlDocumentCount(), 1);
    EXPECT_EQ(hlDocumentAt(0)->aborted, 1);
}

// ---------------------------------------------------------------------------
// The cancel dialog and the abort procedure on their own

TEST_F(Printing, TheCancelDialogGraysItsCloseItemAndCancelsOnAnyCommand)
{
    plHwnd dialog = plCreateDialogParam(consoleInstance, "PrintDlgBox", window, printCancelProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(pwMenuItemState(plGetSystemMenu(dialog, 0), SC_CLOSE) & MF_GRAYED, static_cast<int>(MF_GRAYED));
    EXPECT_EQ(printCancelProc(dialog, WM_SETTEXT, 0, 0), 0);
    plEnableWindow(window, 0);
    EXPECT_EQ(printCancelProc(dialog, WM_COMMAND, 12345, 0), 1);
    EXPECT_EQ(printAbortProc(nullptr, 0), 0);
    EXPECT_EQ(plIsWindow(dialog), 0);
    EXPECT_EQ(plIsWindowEnabled(window), 1);

    // The next job starts uncancelled.
    setText("text");
    print();
    EXPECT_EQ(hlBoxCount(), 0) << boxTexts();
    EXPECT_EQ(printAbortProc(nullptr, 0), 1);
}

TEST_F(Printing, TheAbortProcedureKeepsTheQuitMessageForTheMainLoop)
{
    plPostQuitMessage(0);
    EXPECT_EQ(printAbortProc(nullptr, 0), 1);
    plMsg message;
    EXPECT_EQ(plGetMessage(&message, nullptr, 0, 0), 0);
}

}  // namespace

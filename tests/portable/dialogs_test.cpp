// Message boxes and the common dialogs answered by the front end, and
// modeless dialogs from registered templates.
#include <cstring>

#include "tests/portable/fixture.h"

namespace {

const plDialogItemTemplate cancelItems[] = {
    {plDialogStatic, 10, "", 0, 0, 100, 10},
    {plDialogButton, IDCANCEL, "Cancel", 30, 20, 40, 14},
};
const plDialogTemplate cancelTemplate = {"Printing", 0, 0, 120, 40, 2, cancelItems};

std::vector<Received> dialogReceived;

intptr_t recordingDialogProc(plHwnd dialog, uint32_t message, plWparam wParam, plLparam lParam)
{
    dialogReceived.push_back(Received{dialog, message, wParam, lParam});
    if (message == WM_INITDIALOG) return 1;
    if (message == WM_COMMAND) {
        plEnableWindow(plGetParent(dialog), 1);
        plDestroyWindow(dialog);
        return 1;
    }
    return 0;
}

class Dialogs : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        dialogReceived.clear();
        plAddDialogResource(instance, "PrintDlgBox", &cancelTemplate);
        owner = makeWindow();
        plShowWindow(owner, SW_SHOW);
        pwPump();
    }
    plHwnd owner = nullptr;
};

TEST_F(Dialogs, MessageBoxesTakeQueuedAnswersAndAreRecorded)
{
    hlQueueBoxAnswer(IDNO);
    hlQueueBoxAnswer(IDOK);
    EXPECT_EQ(plMessageBox(owner, "Do you wish to save Vellomex.txt before quitting?", "Vellomex",
                           MB_YESNOCANCEL | MB_ICONQUESTION),
              IDNO);
    EXPECT_EQ(plMessageBox(owner, "nothing to print", "Vellomex", MB_OK | MB_ICONEXCLAMATION), IDOK);
    ASSERT_EQ(hlBoxCount(), 2);
    EXPECT_EQ(hlBox(0)->caption, "Vellomex");
    EXPECT_EQ(hlBox(0)->text, "Do you wish to save Vellomex.txt before quitting?");
    EXPECT_EQ(hlBox(0)->type, MB_YESNOCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(hlBox(0)->answer, IDNO);
    EXPECT_EQ(hlBox(1)->answer, IDOK);
    EXPECT_TRUE(failures.empty());
}

hlAnswerKind askedFor;

TEST_F(Dialogs, AnswerHandlerIsAskedOnlyWhenNothingIsQueued)
{
    askedFor = hlAnswerKind(0);
    hlSetAnswerHandler([](hlAnswerKind kind) {
        askedFor = kind;
        hlQueueBoxAnswer(IDCANCEL);
    });
    hlQueueBoxAnswer(IDYES);
    EXPECT_EQ(plMessageBox(owner, "q", "c", MB_YESNOCANCEL), IDYES);
    EXPECT_EQ(askedFor, hlAnswerKind(0));
    EXPECT_EQ(plMessageBox(owner, "q", "c", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(askedFor, hlAnswerBox);
}

TEST_F(Dialogs, BoxWithoutFittingAnswerFails)
{
    EXPECT_EQ(plMessageBox(owner, "text", "cap", MB_OK), 0);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("\"cap\" \"text\" opened with no answer"), std::string::npos);

    hlQueueSaveAnswer("x.txt");
    EXPECT_EQ(plMessageBox(owner, "text", "cap", MB_OK), 0);
    EXPECT_EQ(hlQueuedAnswerCount(), 1);   // the save answer stays for the save dialog
    hlQueueSaveAnswer(nullptr);

    hlReset();
    hlSetFailureHandler([](const char* reason) { failures.push_back(reason); });
    failures.clear();
    hlQueueBoxAnswer(IDYES);
    EXPECT_EQ(plMessageBox(nullptr, "text", "cap", MB_OK), 0);   // an OK box has no Yes
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("no button"), std::string::npos);
}

TEST_F(Dialogs, SaveDialogFillsPathAndTitleAddingTheDefaultExtension)
{
    char path[1024] = "";
    char title[260] = "";
    plOpenFileName request{};
    request.owner = owner;
    request.filter = "Text Files (*.TXT)\0*.txt\0All Files (*.*)\0*.*\0";
    request.file = path;
    request.maxFile = sizeof path;
    request.fileTitle = title;
    request.maxFileTitle = sizeof title;
    request.defExt = "txt";
    request.flags = OFN_OVERWRITEPROMPT;

    hlQueueSaveAnswer("/tmp/out/transcript");
    ASSERT_EQ(plGetSaveFileName(&request), 1);
    EXPECT_STREQ(path, "/tmp/out/transcript.txt");
    EXPECT_STREQ(title, "transcript.txt");
    EXPECT_EQ(request.fileOffset, 9);
    EXPECT_EQ(request.fileExtension, 20);
    hlSaveRequest seen = hlLastSaveRequest();
    EXPECT_EQ(seen.filters, "Text Files (*.TXT)|*.txt|All Files (*.*)|*.*|");
    EXPECT_EQ(seen.flags, OFN_OVERWRITEPROMPT);
    EXPECT_EQ(seen.defExt, "txt");
    EXPECT_EQ(seen.owner, owner);

    hlQueueSaveAnswer("notes.asc");
    ASSERT_EQ(plGetSaveFileName(&request), 1);
    EXPECT_STREQ(path, "notes.asc");
    EXPECT_STREQ(title, "notes.asc");

    hlQueueSaveAnswer(nullptr);
    EXPECT_EQ(plGetSaveFileName(&request), 0);
    EXPECT_STREQ(path, "notes.asc");   // a cancelled dialog changes nothing

    request.maxFile = 5;
    hlQueueSaveAnswer("longer.txt");
    EXPECT_EQ(plGetSaveFileName(&request), 0);
    EXPECT_TRUE(failures.empty());
}

TEST_F(Dialogs, PrintDialogAnswersCopiesCollationRangeAndContext)
{
    struct plPrintDlg request{};
    request.structSize = 66;
    request.owner = owner;
    request.flags = PD_RETURNDC | PD_COLLATE | PD_NOSELECTION;
    request.fromPage = 1;
    request.toPage = 65535;
    request.copies = 1;

    hlQueuePrintAnswer(hlPrintOk());
    ASSERT_EQ(plPrintDlg(&request), 1);
    ASSERT_NE(request.hdc, nullptr);
    EXPECT_EQ(plGetDeviceCaps(request.hdc, HORZRES), 4800);
    EXPECT_EQ(request.flags & PD_PAGENUMS, 0u);
    EXPECT_EQ(hlLastPrintRequest().flags, PD_RETURNDC | PD_COLLATE | PD_NOSELECTION);
    plDeleteDC(request.hdc);

    hlPrintAnswer answer = hlPrintOk();
    answer.copies = 3;
    answer.collate = 0;
    answer.fromPage = 2;
    answer.toPage = 3;
    answer.noDc = 1;
    hlQueuePrintAnswer(answer);
    ASSERT_EQ(plPrintDlg(&request), 1);
    EXPECT_EQ(request.hdc, nullptr);
    EXPECT_EQ(request.copies, 3);
    EXPECT_EQ(request.flags & PD_COLLATE, 0u);
    EXPECT_NE(request.flags & PD_PAGENUMS, 0u);
    EXPECT_EQ(request.fromPage, 2);
    EXPECT_EQ(request.toPage, 3);

    hlQueuePrintAnswer(hlPrintAnswer{});
    EXPECT_EQ(plPrintDlg(&request), 0);

    hlPrinterConfig none = hlDefaultPrinter();
    none.present = 0;
    hlSetPrinter(none);
    hlQueuePrintAnswer(hlPrintOk());
    EXPECT_EQ(plPrintDlg(&request), 1);
    EXPECT_EQ(request.hdc, nullptr);
    EXPECT_EQ(hlPrintDialogCount(), 4);
}

TEST_F(Dialogs, ModelessDialogIsBuiltFromItsTemplate)
{
    EXPECT_EQ(plCreateDialogParam(instance, "NoSuchTemplate", owner, recordingDialogProc, 0), nullptr);
    plHwnd dialog = plCreateDialogParam(instance, "PrintDlgBox", owner, recordingDialogProc, 77);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(hlLastDialog(), dialog);
    ASSERT_EQ(dialogReceived.size(), 2u);
    EXPECT_EQ(dialogReceived[0].message, WM_INITDIALOG);
    EXPECT_EQ(dialogReceived[1].message, WM_SETFOCUS);
    EXPECT_EQ(dialogReceived[0].lParam, 77);
    EXPECT_EQ(plGetParent(dialog), owner);
    EXPECT_EQ(hlDialogCaption(dialog), "Printing");
    EXPECT_EQ(plSetDlgItemText(dialog, 10, "report.txt"), 1);
    EXPECT_EQ(plSetDlgItemText(dialog, 11, "x"), 0);
    EXPECT_EQ(hlDialogItemText(dialog, 10), "report.txt");
    EXPECT_EQ(hlDialogItemText(dialog, IDCANCEL), "Cancel");
    EXPECT_EQ(plGetFocus(), dialog);
}

TEST_F(Dialogs, IsDialogMessageRoutesTheDialogsOwnMessagesOnly)
{
    plEnableWindow(owner, 0);
    plHwnd dialog = plCreateDialogParam(instance, "PrintDlgBox", owner, recordingDialogProc, 0);
    plPostMessage(owner, WM_USER, 0, 0);
    ASSERT_EQ(pwPressDialogButton(dialog, IDCANCEL), 1);
    EXPECT_EQ(pwPressDialogButton(dialog, 55), 0);
    plMsg msg{};
    ASSERT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 1);
    EXPECT_EQ(plIsDialogMessage(dialog, &msg), 0);   // for the owner
    ASSERT_EQ(plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE), 1);
    EXPECT_EQ(plIsDialogMessage(dialog, &msg), 1);
    ASSERT_EQ(dialogReceived.size(), 5u);
    EXPECT_EQ(dialogReceived[2].message, WM_COMMAND);
    EXPECT_EQ(plLoWord(dialogReceived[2].wParam), IDCANCEL);
    EXPECT_EQ(dialogReceived[3].message, WM_KILLFOCUS);
    EXPECT_EQ(dialogReceived[4].message, WM_DESTROY);
    // The procedure enabled the owner and destroyed itself; the focus went back.
    EXPECT_FALSE(plIsWindow(dialog));
    EXPECT_TRUE(plIsWindowEnabled(owner));
    EXPECT_EQ(pwDisableCount(owner), 1);
    EXPECT_EQ(plGetFocus(), owner);
    EXPECT_EQ(plIsDialogMessage(dialog, &msg), 0);
}

TEST_F(Dialogs, DestroyingTheOwnerDestroysItsDialogFirst)
{
    plHwnd dialog = plCreateDialogParam(instance, "PrintDlgBox", owner, recordingDialogProc, 0);
    received.clear();
    plDestroyWindow(owner);
    EXPECT_FALSE(plIsWindow(dialog));
    EXPECT_EQ(dialogReceived.back().message, WM_DESTROY);
    EXPECT_EQ(messagesOf(owner).back(), WM_DESTROY);
}

}  // namespace

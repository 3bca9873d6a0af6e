// The File and Edit commands on a real console window: saving, the clipboard,
// the Edit items' states, shortcuts and the close protocol.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "commands_fixture.h"

namespace {

using commandsTest::ConsoleWindow;
using commandsTest::failuresExpected;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

int entriesIn(const std::string& folder)
{
    int count = 0;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return -1;
    }
    while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            ++count;
        }
    }
    closedir(dir);
    return count;
}

class Commands : public ConsoleWindow {
protected:
    void SetUp() override
    {
        ConsoleWindow::SetUp();
        char pattern[] = "/tmp/rastrel-commands-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        std::string command = "rm -rf '" + folder + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        ConsoleWindow::TearDown();
    }

    std::string title()
    {
        char buffer[400] = {};
        plGetWindowText(window, buffer, sizeof buffer);
        return buffer;
    }

    std::string folder;
};

// ---------------------------------------------------------------------------
// Save

TEST_F(Commands, FirstSaveAsksForAFileWritesTheBytesAndTitlesTheWindow)
{
    setText("one\r\ntwo\r\n\tthree");
    const std::string path = folder + "/out.txt";
    hlQueueSaveAnswer(path.c_str());
    EXPECT_EQ(command(commandSave), 1);
    EXPECT_EQ(readFile(path), "one\r\ntwo\r\n\tthree");
    EXPECT_EQ(ConsoleState.modified, 0);
    EXPECT_EQ(title(), "Vellomex - out.txt");
    EXPECT_STREQ(savePath, path.c_str());
    EXPECT_STREQ(saveTitle, "out.txt");

    hlSaveRequest request = hlLastSaveRequest();
    EXPECT_EQ(request.owner, window);
    EXPECT_EQ(request.filters, "Text Files (*.TXT)|*.txt|ASCII Files (*.ASC)|*.asc|All Files (*.*)|*.*|");
    EXPECT_EQ(request.filterIndex, 0u);
    EXPECT_EQ(request.maxFile, 1024u);
    EXPECT_EQ(request.maxFileTitle, 260u);
    EXPECT_EQ(request.flags, static_cast<uint32_t>(OFN_OVERWRITEPROMPT));
    EXPECT_EQ(request.defExt, "txt");
    EXPECT_EQ(request.hasTitle, 0);
    EXPECT_EQ(request.hasInitialDir, 0);
}

TEST_F(Commands, LaterSavesReuseThePathWithoutADialog)
{
    setText("first");
    const std::string path = folder + "/log.asc";
    hlQueueSaveAnswer(path.c_str());
    ASSERT_EQ(command(commandSave), 1);
    setText("second, longer text");
    EXPECT_EQ(command(commandSave), 1);   // no answer queued: a dialog would fail the test
    EXPECT_EQ(readFile(path), "second, longer text");
    EXPECT_EQ(title(), "Vellomex - log.asc");
    EXPECT_EQ(entriesIn(folder), 1);
}

TEST_F(Commands, SavingAnEmptyTranscriptWritesAnEmptyFile)
{
    const std::string path = folder + "/empty.txt";
    writeFile(path, "earlier contents");
    ConsoleState.modified = 1;
    hlQueueSaveAnswer(path.c_str());
    EXPECT_EQ(command(commandSave), 1);
    EXPECT_EQ(readFile(path), "");
    EXPECT_EQ(ConsoleState.modified, 0);
}

TEST_F(Commands, CancelledDialogChangesNothing)
{
    setText("text");
    hlQueueSaveAnswer(nullptr);
    EXPECT_EQ(command(commandSave), 0);
    EXPECT_EQ(ConsoleState.modified, 1);
    EXPECT_EQ(title(), "Vellomex Text Window");
    EXPECT_STREQ(savePath, "");
    EXPECT_EQ(hlBoxCount(), 0);
}

TEST_F(Commands, FailedSaveKeepsModifiedAndThePathAndTriesAgain)
{
    setText("text");
    const std::string path = folder + "/missing/out.txt";
    hlQueueSaveAnswer(path.c_str());
    hlQueueBoxAnswer(IDOK);
    EXPECT_EQ(command(commandSave), 0);
    ASSERT_EQ(hlBoxCount(), 1);
    EXPECT_EQ(hlBox(0)->caption, "Vellomex");
    EXPECT_EQ(hlBox(0)->text, "Could not write to file out.txt");
    EXPECT_EQ(hlBox(0)->type, static_cast<uint32_t>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(ConsoleState.modified, 1);
    EXPECT_EQ(title(), "Vellomex - out.txt");

    // The folder appears; the next Save writes there without asking again.
    ASSERT_EQ(mkdir((folder + "/missing").c_str(), 0777), 0);
    EXPECT_EQ(command(commandSave), 1);
    EXPECT_EQ(readFile(path), "text");
    EXPECT_EQ(ConsoleState.modified, 0);
}

TEST_F(Commands, AFolderOrAPipeNobodyReadsInPlaceOfTheFileFailsAtOnce)
{
    setText("text");
    const std::string path = folder + "/taken.txt";
    ASSERT_EQ(mkdir(path.c_str(), 0777), 0);
    hlQueueSaveAnswer(path.c_str());
    hlQueueBoxAnswer(IDOK);
    EXPECT_EQ(command(commandSave), 0);
    EXPECT_EQ(boxTexts(), "Could not write to file taken.txt\n");
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(entriesIn(folder), 1);
    EXPECT_EQ(ConsoleState.modified, 1);

    // Without a reader the save would wait for ever.
    const std::string pipe = folder + "/pipe.txt";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0666), 0);
    savePath[0] = '\0';
    hlQueueSaveAnswer(pipe.c_str());
    hlQueueBoxAnswer(IDOK);
    EXPECT_EQ(command(commandSave), 0);
    EXPECT_EQ(hlBox(1)->text, "Could not write to file pipe.txt");
    ASSERT_EQ(stat(pipe.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(ConsoleState.modified, 1);
}

TEST_F(Commands, AWriteThatFailsPartWayKeepsTheEarlierFile)
{
    const std::string path = folder + "/kept.txt";
    writeFile(path, "the transcript saved before");
    setText(std::string(5000, 'x'));
    hlQueueSaveAnswer(path.c_str());
    hlQueueBoxAnswer(IDOK);

    // Files may grow to 100 bytes only, as on a nearly full disk.
    rlimit before;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit limited = before;
    limited.rlim_cur = 100;
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const plLresult result = command(commandSave);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(boxTexts(), "Could not write to file kept.txt\n");
    EXPECT_EQ(readFile(path), "the transcript saved before");
    EXPECT_EQ(entriesIn(folder), 1);   // no partial file left beside it
    EXPECT_EQ(ConsoleState.modified, 1);
}

TEST_F(Commands, ReplacingAFileKeepsItsPermissionsAndLinks)
{
    const std::string real = folder + "/real.txt";
    const std::string link = folder + "/link.txt";
    writeFile(real, "old");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.txt", link.c_str()), 0);
    setText("new text");
    hlQueueSaveAnswer(link.c_str());
    EXPECT_EQ(command(commandSave), 1);

    EXPECT_EQ(readFile(real), "new text");
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(entriesIn(folder), 2);
}

// ---------------------------------------------------------------------------
// Copy, Cut, Paste and Select All

TEST_F(Commands, CopyPutsTheSelectedBytesOnTheClipboardUnchanged)
{
    setText("one\r\ntwo\r\nthree");
    ConsoleState.modified = 0;
    select(2, 7);
    EXPECT_EQ(command(commandCopy), 0);
    ASSERT_NE(hlClipboardText(), nullptr);
    EXPECT_STREQ(hlClipboardText(), "e\r\ntw");
    EXPECT_EQ(text(), "one\r\ntwo\r\nthree");
    EXPECT_EQ(ConsoleState.modified, 0);
}

TEST_F(Commands, SelectAllOfAnEmptyTranscriptCopiesAnEmptyText)
{
    hlSetClipboardText("something else");
    EXPECT_EQ(command(commandSelectAll), 0);
    EXPECT_EQ(ConsoleState.selStart, ConsoleState.textStart);
    EXPECT_EQ(ConsoleState.selEnd, ConsoleState.textStart);
    command(commandCopy);
    ASSERT_NE(hlClipboardText(), nullptr);
    EXPECT_STREQ(hlClipboardText(), "");
}

TEST_F(Commands, NoMemoryForTheClipboardLeavesEverythingAsItWas)
{
    setText("abc\r\ndef");
    hlSetClipboardText("kept");
    const int blocks = pwLiveBlockCount();
    select(1, 6);
    pwFailAllocations(1);
    hlQueueBoxAnswer(IDOK);
    command(commandCut);
    EXPECT_EQ(boxTexts(), "Could not get memory for clipboard\n");
    EXPECT_EQ(hlBox(0)->type, static_cast<uint32_t>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_STREQ(hlClipboardText(), "kept");
    EXPECT_EQ(text(), "abc\r\ndef");
    EXPECT_EQ(pwLiveBlockCount(), blocks);
}

TEST_F(Commands, CutAcrossLinesRemovesExactlyTheSelectionAndMarksTheChange)
{
    setText("one\r\ntwo\r\nthree");
    ConsoleState.modified = 0;
    ASSERT_EQ(ConsoleState.lastRow, 2);
    select(1, 7);
    command(commandCut);
    EXPECT_STREQ(hlClipboardText(), "ne\r\ntw");
    EXPECT_EQ(text(), "oo\r\nthree");
    EXPECT_EQ(ConsoleState.lastRow, 1);
    EXPECT_EQ(caretRow, 0);
    EXPECT_EQ(caretColumn, 1);
    EXPECT_EQ(ConsoleState.selStart, nullptr);
    EXPECT_EQ(ConsoleState.selEnd, nullptr);
    EXPECT_EQ(ConsoleState.modified, 1);
}

TEST_F(Commands, CutEndingOnACarriageReturnTakesItsLineFeedToo)
{
    setText("ab\r\ncd");
    select(1, 3);
    command(commandCut);
    EXPECT_STREQ(hlClipboardText(), "b\r");
    EXPECT_EQ(text(), "acd");
    EXPECT_EQ(ConsoleState.lastRow, 0);
}

TEST_F(Commands, SelectAllThenCutEmptiesTheTranscript)
{
    setText("one\r\ntwo\r\nthree");
    command(commandSelectAll);
    command(commandCut);
    EXPECT_EQ(ConsoleState.textEnd, ConsoleState.textStart);
    EXPECT_EQ(ConsoleState.lastRow, 0);
    EXPECT_EQ(caretRow, 0);
    EXPECT_EQ(caretColumn, 0);
    EXPECT_STREQ(hlClipboardText(), "one\r\ntwo\r\nthree");
}

TEST_F(Commands, PasteOutsideAReadInsertsAtTheCaret)
{
    setText("ab");
    caretRow = 0;
    caretColumn = 1;
    hlSetClipboardText("X\r\nY");
    command(commandPaste);
    EXPECT_EQ(text(), "aX\r\nYb");
    EXPECT_EQ(pending(), "");
    EXPECT_EQ(caretRow, 1);
    EXPECT_EQ(caretColumn, 1);
}

TEST_F(Commands, PasteDuringAReadTypesIntoThePendingLine)
{
    setText("prompt> ");
    ConsoleState.reading = 1;
    hlSetClipboardText("a\r\nb");
    command(commandPaste);
    EXPECT_EQ(pending(), "a\r\nb");
    EXPECT_EQ(ConsoleState.lineReady, 1);
    EXPECT_EQ(text(), "prompt> a\r\nb");
}

TEST_F(Commands, PasteTurnsLineEndsIntoEnterKeys)
{
    setText("");
    ConsoleState.reading = 1;
    // CR LF and CR LF LF each become one Enter; a lone LF stays.
    hlSetClipboardText("1\r\n\n2\n3\r\n");
    command(commandPaste);
    EXPECT_EQ(pending(), "1\r\n2\n3\r\n");
}

TEST_F(Commands, PasteWithoutTextOrMemoryDeliversNothing)
{
    setText("ab");
    ConsoleState.modified = 0;
    hlSetClipboardText(nullptr);
    command(commandPaste);
    EXPECT_EQ(text(), "ab");

    hlSetClipboardText("xyz");
    // The clipboard's own block for the text exists once a program reads it.
    ASSERT_TRUE(plOpenClipboard(window));
    ASSERT_NE(plGetClipboardData(CF_TEXT), nullptr);
    plCloseClipboard();
    const int blocks = pwLiveBlockCount();
    pwFailAllocations(1);
    hlQueueBoxAnswer(IDOK);
    command(commandPaste);
    EXPECT_EQ(boxTexts(), "Could not get memory for clipboard\n");
    EXPECT_EQ(text(), "ab");
    EXPECT_EQ(ConsoleState.modified, 0);
    EXPECT_EQ(pwLiveBlockCount(), blocks);
    EXPECT_STREQ(hlClipboardText(), "xyz");

    command(commandPaste);   // memory again: the paste goes through
    EXPECT_EQ(text(), "xyzab");
    EXPECT_EQ(pwLiveBlockCount(), blocks);
}

// ---------------------------------------------------------------------------
// Menu items and shortcuts

TEST_F(Commands, EditItemsFollowTheSelectionAndTheClipboard)
{
    setText("abc");
    EXPECT_EQ(pwChooseMenuItem(window, commandCopy), 0);
    EXPECT_EQ(pwChooseMenuItem(window, commandPaste), 0);

    hlSetClipboardText("x");
    select(0, 2);
    EXPECT_EQ(pwChooseMenuItem(window, commandCopy), 1);
    pwPump();
    EXPECT_STREQ(hlClipboardText(), "ab");
    EXPECT_EQ(hlMenuItemState(window, commandCut), static_cast<int>(MF_ENABLED));
    EXPECT_EQ(hlMenuItemState(window, commandPaste), static_cast<int>(MF_ENABLED));

    // A started drag is no selection; an empty clipboard has no text.
    ConsoleState.selEnd = nullptr;
    hlSetClipboardText(nullptr);
    EXPECT_EQ(pwChooseMenuItem(window, commandCut), 0);
    EXPECT_EQ(hlMenuItemState(window, commandCopy) & MF_GRAYED, static_cast<int>(MF_GRAYED));
    EXPECT_EQ(hlMenuItemState(window, commandPaste) & MF_GRAYED, static_cast<int>(MF_GRAYED));
    // The File items and Undo keep their states.
    EXPECT_EQ(hlMenuItemState(window, commandUndo) & MF_GRAYED, static_cast<int>(MF_GRAYED));
    EXPECT_EQ(hlMenuItemState(window, commandSave), static_cast<int>(MF_ENABLED));
}

TEST_F(Commands, UndefinedCommandsDoNothing)
{
    setText("abc");
    select(0, 3);
    for (int id : {int{commandNew}, int{commandOpen}, int{commandClose}, int{commandUndo}, 99, 0}) {
        EXPECT_EQ(command(static_cast<uint16_t>(id)), 0);
    }
    EXPECT_EQ(text(), "abc");
    EXPECT_EQ(plIsWindow(window), 1);
    EXPECT_EQ(hlClipboardText(), nullptr);
}

TEST_F(Commands, ShortcutsFireOnlyWhileTheirItemIsEnabled)
{
    setText("abc");
    plHaccel shortcuts = plLoadAccelerators(consoleInstance, "Vellomex");
    ASSERT_NE(shortcuts, nullptr);
    auto press = [&](unsigned char character) {
        plMsg message = {window, WM_CHAR, character, 0};
        int taken = plTranslateAccelerator(window, shortcuts, &message);
        pwPump();
        return taken;
    };
    hlSetClipboardText("clip");
    EXPECT_NE(press(0x18), 0);   // Ctrl+X with nothing selected: no Cut
    EXPECT_EQ(text(), "abc");
    EXPECT_NE(press(0x01), 0);   // Ctrl+A
    EXPECT_EQ(ConsoleState.selEnd, ConsoleState.textEnd);
    EXPECT_NE(press(0x18), 0);   // Ctrl+X now cuts
    EXPECT_EQ(text(), "");
    EXPECT_STREQ(hlClipboardText(), "abc");
    EXPECT_NE(press(0x16), 0);   // Ctrl+V
    EXPECT_EQ(text(), "abc");
    EXPECT_EQ(press(0x03), 0);   // Ctrl+C is no shortcut: the character handler routes it

    const std::string path = folder + "/keys.txt";
    hlQueueSaveAnswer(path.c_str());
    EXPECT_NE(press(0x13), 0);   // Ctrl+S
    EXPECT_EQ(readFile(path), "abc");
}

// ---------------------------------------------------------------------------
// Closing

TEST_F(Commands, CloseWithoutChangesNeedsNoAnswer)
{
    setText("abc");
    ConsoleState.modified = 0;
    pwClose(window);
    pwPump();
    EXPECT_EQ(plIsWindow(window), 0);
    EXPECT_EQ(appFinished, 1);
    EXPECT_EQ(hlBoxCount(), 0);
    plMsg message;
    EXPECT_EQ(plGetMessage(&message, nullptr, 0, 0), 0);   // the quit message
}

TEST_F(Commands, ClosePromptNamesTheTranscriptAndNoClosesWithoutSaving)
{
    setText("abc");
    hlQueueBoxAnswer(IDNO);
    pwClose(window);
    pwPump();
    ASSERT_EQ(hlBoxCount(), 1);
    EXPECT_EQ(hlBox(0)->caption, "Vellomex");
    EXPECT_EQ(hlBox(0)->text, "Do you wish to save Vellomex.txt before quitting?");
    EXPECT_EQ(hlBox(0)->type, static_cast<uint32_t>(MB_YESNOCANCEL | MB_ICONQUESTION));
    EXPECT_EQ(plIsWindow(window), 0);
    EXPECT_EQ(entriesIn(folder), 0);
}

TEST_F(Commands, CloseCancelledOrWithoutASaveKeepsTheWindow)
{
    setText("abc");
    hlQueueBoxAnswer(IDCANCEL);
    EXPECT_EQ(plSendMessage(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(plIsWindow(window), 1);

    hlQueueBoxAnswer(IDYES);      // then the save dialog is cancelled
    hlQueueSaveAnswer(nullptr);
    plSendMessage(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(plIsWindow(window), 1);

    hlQueueBoxAnswer(IDYES);      // then the write fails
    const std::string path = folder + "/no/such/folder.txt";
    hlQueueSaveAnswer(path.c_str());
    hlQueueBoxAnswer(IDOK);
    plSendMessage(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(plIsWindow(window), 1);
    EXPECT_EQ(ConsoleState.modified, 1);
    EXPECT_EQ(hlBoxCount(), 4);
}

TEST_F(Commands, YesSavesThenCloses)
{
    setText("keep me");
    const std::string path = folder + "/kept.txt";
    hlQueueSaveAnswer(path.c_str());
    ASSERT_EQ(command(commandSave), 1);
    setText("keep me, edited");
    hlQueueBoxAnswer(IDYES);
    command(commandExit);
    EXPECT_EQ(hlBox(0)->text, "Do you wish to save kept.txt before quitting?");
    EXPECT_EQ(readFile(path), "keep me, edited");
    EXPECT_EQ(plIsWindow(window), 0);
}

TEST_F(Commands, ABoxThatCannotBeShownKeepsTheWindow)
{
    setText("abc");
    failuresExpected = 1;   // no answer: the box fails and returns 0
    plSendMessage(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(plIsWindow(window), 1);
    EXPECT_FALSE(commandsTest::failures.empty());
}

TEST_F(Commands, ShutdownQueryAsksEvenWhenClosingWouldNot)
{
    setText("abc");
    ConsoleSettings.askToSave = 0;
    hlQueueBoxAnswer(IDCANCEL);
    EXPECT_EQ(pwQueryEndSession(window), 0);
    hlQueueBoxAnswer(IDNO);
    EXPECT_EQ(pwQueryEndSession(window), 1);
    EXPECT_EQ(hlBoxCount(), 2);
    EXPECT_EQ(plIsWindow(window), 1);

    // Closing in the same state does not ask.
    plSendMessage(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(hlBoxCount(), 2);
    EXPECT_EQ(plIsWindow(window), 0);
}

TEST_F(Commands, ShutdownQueryYesSavesAndKeepsTheWindow)
{
    setText("abc");
    hlQueueBoxAnswer(IDYES);
    hlQueueSaveAnswer((folder + "/down.txt").c_str());
    EXPECT_EQ(pwQueryEndSession(window), 1);
    EXPECT_EQ(readFile(folder + "/down.txt"), "abc");
    EXPECT_EQ(ConsoleState.modified, 0);
    EXPECT_EQ(plIsWindow(window), 1);
}

}  // namespace

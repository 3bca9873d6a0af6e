// A CUPS server of the test's own, so that no test reads or depends on the
// machine's printers: its own cupsd, on a socket in a scratch folder, with
// queues whose file device writes each job's PDF into that folder, and a
// client configuration folder of its own.  A program a test starts reaches
// it through the variables environment() names; every other print test
// points those variables at no server at all (noCupsEnvironment).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Paper sizes and their printable areas for a queue's PPD, in points.
struct TestPaper {
    std::string name;            // PPD size name: A4, Letter, ...
    double width, height;
    double left, bottom, right, top;   // the margins; all zero: borderless
};
TestPaper testA4(double left, double bottom, double right, double top);
TestPaper testLetter(double left, double bottom, double right, double top);

class TestCupsServer {
public:
    ~TestCupsServer();

    // Starts cupsd under folder (which must exist).  False with the reason
    // when CUPS is not installed or does not start.
    bool start(const std::string& folder, std::string* reason);
    void stop();

    // A queue that writes each job's document to output(name) and each
    // job's options to options(name); the first paper is the default.  An
    // empty list makes a raw queue (no PPD).
    bool addQueue(const std::string& name, const std::vector<TestPaper>& papers, bool isDefault,
                  std::string* reason);
    std::string output(const std::string& queue) const { return outputFolder + "/" + queue + ".pdf"; }
    std::string options(const std::string& queue) const { return outputFolder + "/" + queue + ".options"; }

    // True once the queue has completed count jobs (and so written them).
    bool completed(const std::string& queue, int count) const;

    // Runs a CUPS command (lpadmin, lpoptions, ...) as a client of this server.
    int client(const std::string& command) const;

    // "NAME=value ..." for a shell command line, and the same pairs.
    std::string environment() const;
    std::vector<std::pair<std::string, std::string>> variables() const;
    // Sets those variables in this process.
    void useInThisProcess() const;

private:
    pid_t pid = 0;
    std::string root, socketPath, clientFolder, outputFolder;
};

// Variables that point a program at no CUPS server at all (a socket that
// does not exist, an empty client folder), under the scratch folder.
std::vector<std::pair<std::string, std::string>> noCupsVariables(const std::string& folder);
std::string noCupsEnvironment(const std::string& folder);

// A printed PDF read back with pdfinfo and pdftotext -bbox.
struct PrintedWord {
    double xMin, yMin, xMax, yMax;
    std::string text;
    int page;
};
struct PrintedDocument {
    std::string pageSize;        // pdfinfo's "Page size" line, e.g. "595 x 842 pts (A4)"
    double width = 0, height = 0;   // of the first page, in points
    std::vector<PrintedWord> words;
};
bool readPrinted(const std::string& pdf, PrintedDocument* document);

// What is wrong with a printed page ("" when nothing): its words must keep
// the margins (left, top, right, bottom, in points) on every side.
std::string wordsOutsideMargins(const PrintedDocument& document, const double margins[4]);
// The words of a line, in order, on page 1.
const PrintedWord* findWord(const PrintedDocument& document, const std::string& text, int page = 1);

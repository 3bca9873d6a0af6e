// The terminal front end's printers, against a CUPS server of the test's
// own: the paper and printable area it takes from each queue, the order of
// the destinations, and the jobs it sends.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "frontends/print/destinations.h"
#include "tests/print/cups_server.h"
#include "tests/support/process.h"

namespace {

class CupsPrinters : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rastrel-cups-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        // lpoptions keeps a user's choices in the home folder, which the
        // CUPS library reads once per process: one folder for all the tests.
        static const std::string firstHome = folder + "-home";
        home = firstHome;
        mkdir(home.c_str(), 0700);
        setenv("HOME", home.c_str(), 1);
        std::string reason;
        if (!server.start(folder, &reason)) GTEST_SKIP() << reason;
        server.useInThisProcess();
        cupsSetServer(nullptr);   // forgets a server an earlier test in this process used
        // An office printer with margins of its own, and a PDF writer whose
        // sizes are all borderless (as Debian's cups-pdf driver is); both
        // with A4 first and so as their default.
        ASSERT_TRUE(server.addQueue("office", {testA4(30, 40, 25, 35), testLetter(20, 30, 20, 30)}, false, &reason))
            << reason;
        ASSERT_TRUE(server.addQueue("writer", {testA4(0, 0, 0, 0), testLetter(0, 0, 0, 0)}, true, &reason)) << reason;
    }
    void TearDown() override
    {
        server.stop();
        if (!folder.empty()) std::system(("rm -rf " + folder + " " + home).c_str());
    }

    struct paper {
        double width = 0, height = 0, margins[4] = {0, 0, 0, 0};
    };
    bool paperOf(const char* queue, paper* p) { return destinationPaper(queue, &p->width, &p->height, p->margins); }

    std::string folder, home;
    TestCupsServer server;
};

TEST_F(CupsPrinters, TheQueuesDefaultPaperWithThePrintersMarginsOrAQuarterInchWhereItHasNone)
{
    paper office;
    ASSERT_TRUE(paperOf("office", &office));
    EXPECT_NEAR(office.width, 595.28, 0.01);
    EXPECT_NEAR(office.height, 841.89, 0.01);
    const double officeMargins[4] = {30, 35, 25, 40};   // left, top, right, bottom
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(office.margins[i], officeMargins[i], 0.1) << i;

    // A4 although the writer's sizes are borderless (its default size was
    // once taken for borderless US Letter), a quarter inch all round.
    paper writer;
    ASSERT_TRUE(paperOf("writer", &writer));
    EXPECT_NEAR(writer.width, 595.28, 0.01);
    EXPECT_NEAR(writer.height, 841.89, 0.01);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(writer.margins[i], 18, 0.1) << i;

    // The device context spans the printable area (here at 600 dots per inch).
    int width = 0, height = 0;
    rastrelPrintModule()->printableArea("office", 0, 600, &width, &height);
    EXPECT_NEAR(width, (595.28 - 55) * 600 / 72.0, 1);   // A4 is 595.28 x 841.89 points
    EXPECT_NEAR(height, (841.89 - 75) * 600 / 72.0, 1);
}

TEST_F(CupsPrinters, TheUsersOwnChoiceOfPaperForADestinationWins)
{
    ASSERT_EQ(server.client("lpoptions -p office -o media=na_letter_8.5x11in"), 0);
    paper office;
    ASSERT_TRUE(paperOf("office", &office));
    EXPECT_NEAR(office.width, 612, 0.5);
    EXPECT_NEAR(office.height, 792, 0.5);
    EXPECT_NEAR(office.margins[0], 20, 0.1);
    EXPECT_NEAR(office.margins[1], 30, 0.1);
}

TEST_F(CupsPrinters, ADestinationThatSaysNothingOrIsNotThereGivesNoPaper)
{
    std::string reason;
    ASSERT_TRUE(server.addQueue("raw", {}, false, &reason)) << reason;
    paper p;
    EXPECT_FALSE(paperOf("raw", &p));
    EXPECT_FALSE(paperOf("nowhere", &p));
    // The device context then has the locale's paper with a quarter inch.
    int width = 0, height = 0;
    rastrelPrintModule()->printableArea("raw", 0, 600, &width, &height);
    EXPECT_GT(width, 0);
    EXPECT_LT(width, 8.5 * 600 - 2 * 0.25 * 600 + 1);
}

TEST_F(CupsPrinters, TheDefaultDestinationIsListedFirst)
{
    const std::vector<printDestination> printers = listDestinations();
    ASSERT_EQ(printers.size(), 2u);
    EXPECT_EQ(printers[0].name, "writer");
    EXPECT_TRUE(printers[0].isDefault);
    EXPECT_EQ(printers[1].name, "office");
}

TEST_F(CupsPrinters, AJobAsksForThePaperItWasLaidOutForUnscaled)
{
    const std::string pdf = "%PDF-1.4\n% a document as the printer receives it\n%%EOF\n";
    std::string error;
    ASSERT_EQ(submitPdf("office", "Vellomex.out", pdf, &error), 1) << error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!server.completed("office", 1) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(server.completed("office", 1));
    EXPECT_EQ(readFile(server.output("office")), pdf);
    const std::string options = readFile(server.options("office"));
    EXPECT_NE(options.find("media=iso_a4_210x297mm"), std::string::npos) << options;
    EXPECT_NE(options.find("print-scaling=none"), std::string::npos) << options;

    EXPECT_EQ(submitPdf("nowhere", "Vellomex.out", pdf, &error), 0);
    EXPECT_FALSE(error.empty());
}

}  // namespace

// A recorded document written as a PDF file, read back by pdftotext.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "frontends/print/page_replay.h"

namespace {

std::string pdfText(const std::string& pdf)
{
    std::string command = "pdftotext -layout " + pdf + " - 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "";
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) text.append(chunk, got);
    pclose(pipe);
    return text;
}

TEST(PageReplay, EveryPageAndItsTextReachThePdf)
{
    if (std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
    pwDocument document{};
    document.name = "Vellomex.out";
    document.page = pwPrinterInfo{"PDF file", 4800, 6600, 50, 100, 600};
    for (int number = 1; number <= 2; number++) {
        pwPage page{};
        page.texts.push_back(pwTextItem{0, 0, "Vellomex.out"});
        page.texts.push_back(pwTextItem{4200, 0, "Page " + std::to_string(number)});
        page.lines.push_back(pwLine{0, 100, 4800, 100});
        page.texts.push_back(pwTextItem{0, 200, number == 1 ? "Enter Selection: 1" : "Writing TIFF file 0"});
        document.pages.push_back(page);
    }
    char path[] = "/tmp/rastrel-replay-XXXXXX.pdf";
    int fd = mkstemps(path, 4);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(writeDocumentPdf(document, path), 1);
    const std::string text = pdfText(path);
    std::remove(path);
    const size_t second = text.find("Page 2");
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_NE(text.find("Page 1"), std::string::npos);
    EXPECT_LT(text.find("Enter Selection: 1"), second);
    EXPECT_GT(text.find("Writing TIFF file 0"), second);
    EXPECT_NE(text.find("Vellomex.out"), std::string::npos);
    EXPECT_NE(text.find('\f'), std::string::npos);   // two pages
}

TEST(PageReplay, AFileThatCannotBeWrittenFails)
{
    pwDocument document{};
    document.page = pwPrinterInfo{"PDF file", 4800, 6600, 50, 100, 600};
    document.pages.push_back(pwPage{});
    EXPECT_EQ(writeDocumentPdf(document, "/nonexistent-folder/out.pdf"), 0);
}

}  // namespace

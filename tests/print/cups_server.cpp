// The tests' own CUPS server, and printed pages read back.
#include "tests/print/cups_server.h"
#include "tests/support/process.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

const char cupsd[] = "/usr/sbin/cupsd";
const char lpadmin[] = "/usr/sbin/lpadmin";
const char cupsLibrary[] = "/usr/lib/cups";

std::string run(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char chunk[4096];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, got);
        pclose(pipe);
    }
    return out;
}

bool write(const std::string& path, const std::string& text, mode_t mode = 0644)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return out && chmod(path.c_str(), mode) == 0;
}

bool accepts(const std::string& socketPath)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A PPD whose first paper is the default and whose documents go through
// the keeping filter unchanged.
std::string ppdFor(const std::string& model, const std::vector<TestPaper>& papers)
{
    std::string ppd =
        "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
        "*LanguageEncoding: ISOLatin1\n*PCFileName: \"RASTREL.PPD\"\n*Manufacturer: \"Rastrel tests\"\n"
        "*Product: \"(" + model + ")\"\n*ModelName: \"" + model + "\"\n*ShortNickName: \"" + model +
        "\"\n*NickName: \"" + model + "\"\n*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n"
        "*ColorDevice: False\n*DefaultColorSpace: Gray\n*FileSystem: False\n*Throughput: \"1\"\n"
        "*LandscapeOrientation: Plus90\n*TTRasterizer: Type42\n"
        "*cupsFilter2: \"application/pdf application/pdf 0 rastrel-keep\"\n";
    const std::string first = papers.front().name;
    std::string sizes, regions, areas, dimensions;
    for (const TestPaper& p : papers) {
        const std::string size = number(p.width) + " " + number(p.height);
        sizes += "*PageSize " + p.name + "/" + p.name + ": \"<</PageSize[" + size + "]>>setpagedevice\"\n";
        regions += "*PageRegion " + p.name + "/" + p.name + ": \"<</PageSize[" + size + "]>>setpagedevice\"\n";
        areas += "*ImageableArea " + p.name + "/" + p.name + ": \"" + number(p.left) + " " + number(p.bottom) + " " +
                 number(p.width - p.right) + " " + number(p.height - p.top) + "\"\n";
        dimensions += "*PaperDimension " + p.name + "/" + p.name + ": \"" + size + "\"\n";
    }
    ppd += "*OpenUI *PageSize/Media Size: PickOne\n*OrderDependency: 10 AnySetup *PageSize\n*DefaultPageSize: " +
           first + "\n" + sizes + "*CloseUI: *PageSize\n";
    ppd += "*OpenUI *PageRegion: PickOne\n*OrderDependency: 10 AnySetup *PageRegion\n*DefaultPageRegion: " + first +
           "\n" + regions + "*CloseUI: *PageRegion\n";
    ppd += "*DefaultImageableArea: " + first + "\n" + areas + "*DefaultPaperDimension: " + first + "\n" + dimensions;
    return ppd;
}

}  // namespace

TestPaper testA4(double left, double bottom, double right, double top)
{
    return TestPaper{"A4", 595, 842, left, bottom, right, top};
}

TestPaper testLetter(double left, double bottom, double right, double top)
{
    return TestPaper{"Letter", 612, 792, left, bottom, right, top};
}

TestCupsServer::~TestCupsServer()
{
    stop();
}

bool TestCupsServer::start(const std::string& folder, std::string* reason)
{
    if (access(cupsd, X_OK) != 0 || access(lpadmin, X_OK) != 0) {
        *reason = "CUPS is not installed (Debian's cups-daemon and cups-client)";
        return false;
    }
    root = folder + "/cups";
    socketPath = root + "/cups.sock";
    clientFolder = root + "/client";
    outputFolder = root + "/out";
    for (const char* sub : {"", "/conf", "/conf/ppd", "/spool", "/spool/tmp", "/cache", "/state", "/log", "/bin",
                            "/bin/filter", "/client", "/out", "/ppd"}) {
        mkdir((root + sub).c_str(), 0755);
    }
    // As root, cupsd runs its filters as its own user (lp): the folders on
    // the way must let it through, and the output folder take its files.
    chmod(folder.c_str(), 0755);
    chmod(outputFolder.c_str(), 0777);
    chmod((root + "/spool/tmp").c_str(), 01777);
    for (const char* sub : {"daemon", "notifier", "backend"}) {
        symlink((std::string(cupsLibrary) + "/" + sub).c_str(), (root + "/bin/" + sub).c_str());
    }
    // The queues' filter: keeps the job's options beside its output, and
    // passes the document on unchanged to the file device.
    write(root + "/bin/filter/rastrel-keep",
          "#!/bin/sh\nprintf '%s\\n' \"$5\" > " + quote(outputFolder) +
              "/\"$PRINTER\".options\nif [ -n \"$6\" ]; then exec cat \"$6\"; fi\nexec cat\n",
          0755);

    std::string files = "ServerRoot " + root + "/conf\nRequestRoot " + root + "/spool\nCacheDir " + root +
                        "/cache\nStateDir " + root + "/state\nTempDir " + root + "/spool/tmp\nServerBin " + root +
                        "/bin\nDataDir /usr/share/cups\nAccessLog " + root + "/log/access_log\nErrorLog " + root +
                        "/log/error_log\nPageLog " + root + "/log/page_log\nFileDevice Yes\n";
    if (geteuid() == 0) {
        files += "SystemGroup root\n";
    } else {
        // A server of an ordinary user runs everything as that user.
        const passwd* user = getpwuid(geteuid());
        const group* grp = getgrgid(getegid());
        if (!user || !grp) {
            *reason = "the user or group running the tests has no name";
            return false;
        }
        files += std::string("User ") + user->pw_name + "\nGroup " + grp->gr_name + "\nSystemGroup " + grp->gr_name +
                 "\nSandboxing Relaxed\n";
    }
    write(root + "/conf/cups-files.conf", files);
    write(root + "/conf/cupsd.conf", "Listen " + socketPath +
                                         "\nLogLevel warn\nWebInterface No\nBrowsing No\n"
                                         "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n");
    write(clientFolder + "/client.conf", "ServerName " + socketPath + "\n");

    pid = fork();
    if (pid < 0) {
        *reason = "no process for cupsd";
        return false;
    }
    if (pid == 0) {
        // The server goes with the test program, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        std::freopen((root + "/log/cupsd.out").c_str(), "w", stdout);
        dup2(fileno(stdout), 2);
        execl(cupsd, "cupsd", "-f", "-c", (root + "/conf/cupsd.conf").c_str(), "-s",
              (root + "/conf/cups-files.conf").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!accepts(socketPath)) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid || std::chrono::steady_clock::now() > deadline) {
            if (waitpid(pid, &status, WNOHANG) == 0) kill(pid, SIGKILL), waitpid(pid, &status, 0);
            pid = 0;
            std::ifstream log(root + "/log/error_log");
            std::stringstream text;
            text << std::ifstream(root + "/log/cupsd.out").rdbuf() << log.rdbuf();
            *reason = "cupsd did not start: " + text.str();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void TestCupsServer::stop()
{
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = 0;
    }
}

bool TestCupsServer::addQueue(const std::string& name, const std::vector<TestPaper>& papers, bool isDefault,
                              std::string* reason)
{
    std::string command = std::string(lpadmin) + " -p " + name + " -E -v file://" + output(name);
    if (!papers.empty()) {
        const std::string ppd = root + "/ppd/" + name + ".ppd";
        write(ppd, ppdFor("Rastrel test " + name, papers));
        command += " -P " + ppd;
    }
    if (client(command) != 0 || (isDefault && client(std::string(lpadmin) + " -d " + name) != 0)) {
        std::stringstream log;
        log << std::ifstream(root + "/log/error_log").rdbuf();
        *reason = "lpadmin could not add the queue " + name + ": " + log.str();
        return false;
    }
    return true;
}

bool TestCupsServer::completed(const std::string& queue, int count) const
{
    const std::string list = run("env -u PRINTER -u LPDEST " + environment() + " lpstat -W completed -o " + queue);
    int lines = 0;
    for (char c : list) lines += c == '\n';
    return lines >= count;
}

int TestCupsServer::client(const std::string& command) const
{
    return std::system(("env -u PRINTER -u LPDEST " + environment() + " " + command + " > /dev/null 2>&1").c_str());
}

std::vector<std::pair<std::string, std::string>> TestCupsServer::variables() const
{
    return {{"CUPS_SERVER", socketPath}, {"CUPS_SERVERROOT", clientFolder}};
}

std::string TestCupsServer::environment() const
{
    std::string text;
    for (const auto& v : variables()) text += (text.empty() ? "" : " ") + v.first + "=" + quote(v.second);
    return text;
}

void TestCupsServer::useInThisProcess() const
{
    unsetenv("PRINTER");
    unsetenv("LPDEST");
    for (const auto& v : variables()) setenv(v.first.c_str(), v.second.c_str(), 1);
}

std::vector<std::pair<std::string, std::string>> noCupsVariables(const std::string& folder)
{
    mkdir((folder + "/no-cups").c_str(), 0755);
    return {{"CUPS_SERVER", folder + "/no-cups/cups.sock"}, {"CUPS_SERVERROOT", folder + "/no-cups"}};
}

std::string noCupsEnvironment(const std::string& folder)
{
    std::string text = "env -u PRINTER -u LPDEST";
    for (const auto& v : noCupsVariables(folder)) text += " " + v.first + "=" + quote(v.second);
    return text;
}

// ---------------------------------------------------------------------------
// Printed pages.

namespace {

double attribute(const std::string& tag, const char* name)
{
    const std::string key = std::string(" ") + name + "=\"";
    const size_t at = tag.find(key);
    return at == std::string::npos ? -1 : std::atof(tag.c_str() + at + key.size());
}

std::string unescape(std::string text)
{
    static const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (const auto& e : entities) {
        for (size_t at = text.find(e.first); at != std::string::npos; at = text.find(e.first, at + 1)) {
            text.replace(at, std::strlen(e.first), e.second);
        }
    }
    return text;
}

}  // namespace

bool readPrinted(const std::string& pdf, PrintedDocument* document)
{
    *document = PrintedDocument{};
    std::istringstream info(run("pdfinfo " + quote(pdf)));
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("Page size:", 0) == 0) {
            const size_t value = line.find_first_not_of(' ', 10);
            document->pageSize = value == std::string::npos ? "" : line.substr(value);
        }
    }
    const std::string html = run("pdftotext -bbox " + quote(pdf) + " -");
    int page = 0;
    for (size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
        const size_t end = html.find('>', at);
        if (end == std::string::npos) break;
        const std::string tag = html.substr(at, end - at + 1);
        if (tag.rfind("<page ", 0) == 0) {
            ++page;
            if (page == 1) {
                document->width = attribute(tag, "width");
                document->height = attribute(tag, "height");
            }
        } else if (tag.rfind("<word ", 0) == 0) {
            const size_t close = html.find("</word>", end);
            if (close == std::string::npos) break;
            document->words.push_back(PrintedWord{attribute(tag, "xMin"), attribute(tag, "yMin"),
                                                  attribute(tag, "xMax"), attribute(tag, "yMax"),
                                                  unescape(html.substr(end + 1, close - end - 1)), page});
        }
    }
    return !document->pageSize.empty() && page > 0;
}

std::string wordsOutsideMargins(const PrintedDocument& document, const double margins[4])
{
    // pdftotext's boxes are the glyphs' cells, to a hundredth of a point.
    const double slack = 0.05;
    std::string wrong;
    for (const PrintedWord& w : document.words) {
        if (w.xMin < margins[0] - slack || w.yMin < margins[1] - slack ||
            w.xMax > document.width - margins[2] + slack || w.yMax > document.height - margins[3] + slack) {
            wrong += "\"" + w.text + "\" on page " + std::to_string(w.page) + " at x " + number(w.xMin) + "-" +
                     number(w.xMax) + ", y " + number(w.yMin) + "-" + number(w.yMax) + "\n";
        }
    }
    return wrong;
}

const PrintedWord* findWord(const PrintedDocument& document, const std::string& text, int page)
{
    for (const PrintedWord& w : document.words) {
        if (w.page == page && w.text == text) return &w;
    }
    return nullptr;
}

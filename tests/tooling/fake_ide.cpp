// Stands in for the IDE in tests and demos.
//   fake_ide <project> /make [/out <log>]   writes the project's executable beside it, and a line
//                                           saying how it went to the log
//   fake_ide anything else                  only records the call
// A build is steered by the environment:
//   ZARUN_FAKE_IDE_FAIL=<text>     the build of a project whose path holds text fails: no
//                                  executable, the error in the log and on standard error,
//                                  status 1 (or the one in
//                                  ZARUN_FAKE_IDE_FAIL_STATUS: the real IDE may end with 0)
//   ZARUN_FAKE_IDE_HOLD=<file>     the build waits until <file> exists; meanwhile <file>.started
//                                  holds the pids of the stand-in and of a helper it started
//                                  (as Wine starts its own processes, in a session of its own),
//                                  which waits as well, writing to <file>.writes
//   ZARUN_FAKE_IDE_IGNORE_TERM=1   SIGTERM does not end the stand-in or its helper
//   ZARUN_FAKE_IDE_DELAY_MS=<ms>   the build takes that long (demonstrations)
// Started through a link named wine... it stands in for Wine and records the
// WINEPREFIX it was given after the working folder.
// Every call is recorded in the folder named by ZARUN_FAKE_IDE_LOG, one file per
// call: the working folder, then each argument, each ended by a NUL byte.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

void record(const std::vector<std::string> &entries)
{
    const char *folder = std::getenv("ZARUN_FAKE_IDE_LOG");
    if (!folder || !*folder)
        return;
    static int counter = 0;
    const std::string base = std::string(folder) + "/call-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter++);
    {
        std::ofstream out(base + ".tmp", std::ios::binary);
        for (const std::string &entry : entries)
            out << entry << '\0';
    }
    // Renamed when complete, so a reader never sees half a call.
    std::rename((base + ".tmp").c_str(), (base + ".args").c_str());
}

std::string unquote(const std::string &value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return {};
}

// The executable name from the first line with ExeName32; empty when there is none.
std::string exeName(const std::string &project)
{
    std::ifstream in(project, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.find("ExeName32") != std::string::npos) {
            const std::size_t equals = line.find('=');
            return unquote(equals == std::string::npos ? line : line.substr(equals + 1));
        }
        start = end + 1;
    }
    return {};
}

void pause(long milliseconds)
{
    timespec delay {milliseconds / 1000, (milliseconds % 1000) * 1000000};
    ::nanosleep(&delay, nullptr);
}

bool exists(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// Waits for the file named by ZARUN_FAKE_IDE_HOLD, with a helper process that waits too. The
// helper goes to a session of its own, as Wine's processes do, and meanwhile keeps adding a line
// to <file>.writes, as a linker would write its output.
void hold()
{
    const char *file = std::getenv("ZARUN_FAKE_IDE_HOLD");
    if (!file || !*file)
        return;
    const std::string release = file;
    const pid_t helper = ::fork();
    if (helper == 0) {
        ::setsid();
        while (!exists(release)) {
            std::ofstream(release + ".writes", std::ios::app) << "x\n";
            pause(10);
        }
        std::_Exit(0);
    }
    {
        std::ofstream out(release + ".started.tmp");
        out << ::getpid() << ' ' << helper << '\n';
    }
    std::rename((release + ".started.tmp").c_str(), (release + ".started").c_str());
    while (!exists(release))
        pause(10);
    if (helper > 0)
        ::waitpid(helper, nullptr, 0);
}

void note(const std::string &log, const std::string &line)
{
    if (log.empty())
        return;
    std::ofstream out(log, std::ios::binary | std::ios::trunc);
    out << line << "\r\n";
}

int make(const std::string &project, const std::string &log)
{
    if (const char *delay = std::getenv("ZARUN_FAKE_IDE_DELAY_MS"))
        pause(std::atol(delay));
    hold();
    if (const char *fail = std::getenv("ZARUN_FAKE_IDE_FAIL"); fail && *fail && project.find(fail) != std::string::npos) {
        note(log, "Compile Error in File 'Form1.frm', Line 3 : Variable not defined");
        // As Wine tells of what went wrong on its side.
        std::fprintf(stderr, "fake_ide: err: the build of %s failed\n", project.c_str());
        const char *status = std::getenv("ZARUN_FAKE_IDE_FAIL_STATUS");
        return status && *status ? std::atoi(status) : 1;
    }
    const std::size_t slash = project.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : project.substr(0, slash);
    std::string name = exeName(project);
    if (name.empty()) {
        const std::string file = slash == std::string::npos ? project : project.substr(slash + 1);
        name = file.substr(0, file.rfind('.')) + ".exe";
    }
    // As on Windows: a file there whose name differs only in letter case is the one written.
    if (DIR *entries = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(entries)) {
            if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
                name = entry->d_name;
                break;
            }
        }
        ::closedir(entries);
    }
    const std::string exe = folder + "/" + name;
    {
        std::ofstream out(exe, std::ios::binary | std::ios::trunc);
        // When run, the built program notes the folder it was started in.
        out << "#!/bin/sh\npwd > \"$0.ran\"\n";
        if (!out)
            return 1;
    }
    if (::chmod(exe.c_str(), 0755) != 0)
        return 1;
    note(log, "Build of '" + name + "' succeeded.");
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (const char *ignore = std::getenv("ZARUN_FAKE_IDE_IGNORE_TERM"); ignore && *ignore)
        std::signal(SIGTERM, SIG_IGN);
    std::vector<std::string> entries;
    char cwd[4096] = {};
    entries.emplace_back(::getcwd(cwd, sizeof cwd) ? cwd : "");
    std::string self = argv[0];
    self = self.substr(self.rfind('/') == std::string::npos ? 0 : self.rfind('/') + 1);
    if (self.rfind("wine", 0) == 0) {
        const char *prefix = std::getenv("WINEPREFIX");
        entries.emplace_back(std::string("WINEPREFIX=") + (prefix ? prefix : ""));
    }
    for (int i = 1; i < argc; ++i)
        entries.emplace_back(argv[i]);
    int result = 0;
    if ((argc == 3 || (argc == 5 && std::string(argv[3]) == "/out")) && std::string(argv[2]) == "/make") {
        result = make(argv[1], argc == 5 ? argv[4] : "");
    }
    record(entries);
    return result;
}

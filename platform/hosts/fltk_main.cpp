// The Linux program's start-up: what the C runtime does before WinMain on Windows.
#include "common/printable.h"
#include "common/tvq_name.h"
#include "platform/hosts/fltk_host.h"
#include "platform/hosts/fltk_parts.h"

#include <X11/Xlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One argument as Windows writes it into a command line: quoted when it holds blanks or
// quotes, with the backslashes before a quote doubled and the quote escaped.
std::string Quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string result = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        result.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        result += c;
    }
    result.append(2 * backslashes, '\\');
    return result + "\"";
}

constexpr const char* kUsage =
    "Usage: zod-edozuv [FILE]\n"
    "Views TVQ images and BMP files and exports them as BMP files.\n"
    "FILE is shown at start: a TVQ image when its name ends in .tvq (in any\n"
    "case), a BMP file otherwise. A name that starts with - is written ./-NAME.\n"
    "\n"
    "  -h, --help     print this help\n"
    "  --version      print the version\n";

// FLTK would end the process with its own terse line; a missing display is the user's to
// mend, so say which one and how.
bool DisplayOpens() {
    Display* display = XOpenDisplay(nullptr);
    if (display) {
        XCloseDisplay(display);
        return true;
    }
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        std::fprintf(stderr, "zod-edozuv: no display: DISPLAY is not set (start it from a "
                             "desktop session, or point DISPLAY at an X server)\n");
    else
        std::fprintf(stderr, "zod-edozuv: cannot open the display %s\n", name);
    return false;
}

// Why `path` cannot be read, or empty. A named pipe or device is not opened for reading:
// that would wait for a writer, or never end.
std::string WhyUnreadable(const char* path) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return strerror(errno);
    struct stat status;
    char byte;
    std::string why;
    if (fstat(fd, &status) != 0)
        why = strerror(errno);
    else if (!S_ISREG(status.st_mode))
        why = S_ISDIR(status.st_mode) ? "is a folder" : "not a regular file";
    else if (read(fd, &byte, 1) < 0)
        why = strerror(errno);
    close(fd);
    return why;
}

} // namespace

int main(int argc, char** argv) {
    const char* option = argc > 1 && argv[1][0] == '-' && argv[1][1] ? argv[1] : nullptr;
    if (option && (!strcmp(option, "--help") || !strcmp(option, "-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (option && !strcmp(option, "--version")) {
        std::puts("zod-edozuv " ZOD_VERSION);
        return 0;
    }
    if (option) {
        std::fprintf(stderr, "zod-edozuv: unknown option %s\n%s", Printable(option).c_str(),
                     kUsage);
        return 2;
    }
    if (!DisplayOpens())
        return 1;
    // The window shows what a failed import shows; the terminal says why.
    const std::string unreadable = argc > 1 ? WhyUnreadable(argv[1]) : "";
    if (!unreadable.empty())
        std::fprintf(stderr, "zod-edozuv: cannot read %s: %s\n", Printable(argv[1]).c_str(),
                     unreadable.c_str());
    if (argc > 1 && unreadable.empty() && TvqNamed(argv[1]))
        zod::SayWhyNotTvq(argv[1]);
    zod::FltkHost host;
    // The first paint loads the same file again and shares what this load kept.
    if (argc > 1 && unreadable.empty() && !TvqNamed(argv[1])) {
        HANDLE bitmap = LoadImageA(nullptr, argv[1], IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        if (!bitmap)
            std::fprintf(stderr, "zod-edozuv: cannot show %s: not a BMP file it can read\n",
                         Printable(argv[1]).c_str());
        DeleteObject(bitmap);
    }
    // WinMain gets the command line without the program name, as on Windows.
    std::string commandLine;
    for (int i = 1; i < argc; ++i)
        commandLine += (i > 1 ? " " : "") + Quoted(argv[i]);
    // Windows loads a program's image at this address; the handle is only passed around.
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(uintptr_t(0x400000));
    return WinMain(instance, nullptr, commandLine.data(), SW_SHOWNORMAL);
}

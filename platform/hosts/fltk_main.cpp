// The Linux program's start-up: what the C runtime does before WinMain on Windows.
#include "platform/hosts/fltk_host.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

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

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h"))) {
        std::printf("Usage: zod-edozuv [FILE]\n"
                    "Views TVQ images and BMP files and exports them as BMP files.\n"
                    "FILE is shown at start: a TVQ image when its name ends in .tvq (in any\n"
                    "case), a BMP file otherwise.\n");
        return 0;
    }
    // The window shows what a failed import shows; the terminal says why.
    if (argc > 1) {
        FILE* file = std::fopen(argv[1], "rb");
        int error = file ? 0 : errno;
        if (file && std::fgetc(file) == EOF && std::ferror(file))
            error = errno; // a folder, for one
        if (file)
            std::fclose(file);
        if (error)
            std::fprintf(stderr, "zod-edozuv: cannot read %s: %s\n", argv[1], strerror(error));
    }
    zod::FltkHost host;
    // WinMain gets the command line without the program name, as on Windows.
    std::string commandLine;
    for (int i = 1; i < argc; ++i)
        commandLine += (i > 1 ? " " : "") + Quoted(argv[i]);
    // Windows loads a program's image at this address; the handle is only passed around.
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(uintptr_t(0x400000));
    return WinMain(instance, nullptr, commandLine.data(), SW_SHOWNORMAL);
}

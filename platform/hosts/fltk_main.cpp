// The Linux program's start-up: what the C runtime does before WinMain on Windows.
#include "platform/hosts/fltk_host.h"

#include <string>

int main(int argc, char** argv) {
    zod::FltkHost host;
    // WinMain gets the command line without the program name, as on Windows.
    std::string commandLine;
    for (int i = 1; i < argc; ++i)
        commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
    // Windows loads a program's image at this address; the handle is only passed around.
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(uintptr_t(0x400000));
    return WinMain(instance, nullptr, commandLine.data(), SW_SHOWNORMAL);
}

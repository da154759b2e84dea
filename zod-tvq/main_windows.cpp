// zod-tvq.exe: the arguments arrive as UTF-16 (wmain) and are handed on in UTF-8, with
// patterns such as *.tvq expanded here, since Windows' shell leaves that to each program.
// Messages go to the console in UTF-8, and WIC's components need COM.
#include "zod-tvq/commands.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

// The C runtime's own expansion is left off: it would expand inside quoted arguments too.
extern "C" {
int _dowildcard = 0;
}

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return "";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(size_t(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

bool IsPattern(const std::wstring& argument) {
    return argument.size() > 1 && argument[0] != L'-' &&
           argument.find_first_of(L"*?") != std::wstring::npos;
}

// The files a pattern in the last part of a path names, sorted, with the folder as given;
// none when nothing matches (the pattern is then passed on, to be reported as missing).
std::vector<std::wstring> Expand(const std::wstring& pattern) {
    const size_t slash = pattern.find_last_of(L"\\/:");
    const std::wstring folder = slash == std::wstring::npos ? L"" : pattern.substr(0, slash + 1);
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(folder + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        const std::wstring argument = argv[i];
        const std::vector<std::wstring> names =
            i > 0 && IsPattern(argument) ? Expand(argument) : std::vector<std::wstring>{};
        if (names.empty())
            arguments.push_back(Utf8(argument));
        for (const std::wstring& name : names)
            arguments.push_back(Utf8(name));
    }
    std::vector<char*> pointers;
    for (std::string& argument : arguments)
        pointers.push_back(&argument[0]);
    pointers.push_back(nullptr);

    // UTF-8 for the console while the program runs; pipes and files get the bytes as they are.
    const UINT consoleCodePage = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    const int status = zod::cli::RunZodTvq(int(arguments.size()), pointers.data());
    if (com)
        CoUninitialize();
    if (consoleCodePage)
        SetConsoleOutputCP(consoleCodePage);
    return status;
}

// Every fopen of the converter and of formats/ (linked with --wrap=fopen) takes the name in
// UTF-8, as the rest of the program holds it; the C runtime's would read the ANSI code page.
extern "C" FILE* __real_fopen(const char* name, const char* mode);
extern "C" FILE* __wrap_fopen(const char* name, const char* mode) {
    const int nameSize = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0);
    const int modeSize = MultiByteToWideChar(CP_UTF8, 0, mode, -1, nullptr, 0);
    if (nameSize <= 0 || modeSize <= 0)
        return __real_fopen(name, mode); // not UTF-8: the code page's, as before
    std::wstring wideName(size_t(nameSize), L'\0'), wideMode(size_t(modeSize), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, name, -1, &wideName[0], nameSize);
    MultiByteToWideChar(CP_UTF8, 0, mode, -1, &wideMode[0], modeSize);
    return _wfopen(wideName.c_str(), wideMode.c_str());
}

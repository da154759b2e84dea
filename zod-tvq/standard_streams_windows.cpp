// Standard streams on Windows: standard input is always kept in a temporary file (there is
// no name for an open handle that every reader can open), removed when the process exits.
#include "zod-tvq/standard_streams.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <io.h>

namespace zod::cli {

namespace {

std::wstring keptInput;

void RemoveKeptInput() {
    if (!keptInput.empty())
        DeleteFileW(keptInput.c_str());
}

} // namespace

std::string StandardInputPath(uint64_t limit, std::string* reason) {
    if (!keptInput.empty())
        return std::filesystem::path(keptInput).string();
    wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"zod", 0, name) == 0) {
        *reason = "cannot keep standard input in a temporary file";
        return "";
    }
    keptInput = name;
    std::atexit(RemoveKeptInput);
    FILE* copy = _wfopen(name, L"wb");
    _setmode(_fileno(stdin), _O_BINARY);
    bool ok = copy != nullptr && CopyStandardInput(copy, limit);
    const bool readFailed = ferror(stdin);
    if (copy && fclose(copy) != 0)
        ok = false;
    if (ok && readFailed) {
        *reason = "cannot read standard input";
        return "";
    }
    if (!ok) {
        *reason = "cannot keep standard input in a temporary file";
        return "";
    }
    return std::filesystem::path(keptInput).string();
}

bool StandardOutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

std::string InputName(const std::string& name) {
    return IsStandardStream(name) ? "standard input" : name;
}

} // namespace zod::cli

// The modal dialogs, which the host shows: message boxes, and the common file dialogs,
// whose record is read and filled here while the host only asks the user for a path.
#include "state.h"

#include <cstring>
#include <sys/stat.h>

namespace {

DWORD lastDialogError = 0;

std::vector<zod::FileFilter> ParseFilter(LPCSTR filter) {
    std::vector<zod::FileFilter> filters;
    // Pairs of NUL-terminated strings, the list ended by an empty string.
    while (filter && *filter) {
        zod::FileFilter f;
        f.label = filter;
        filter += f.label.size() + 1;
        if (!*filter)
            break;
        f.pattern = filter;
        filter += f.pattern.size() + 1;
        filters.push_back(std::move(f));
    }
    return filters;
}

bool IsExistingFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

std::string zod::CompleteDialogAnswer(const FileDialogRequest& request, const std::string& answer) {
    size_t nameStart = answer.find_last_of('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    if (!request.defaultExtension.empty() && answer.find('.', nameStart) == std::string::npos)
        return answer + "." + request.defaultExtension;
    return answer;
}

std::string zod::RefuseDialogAnswer(const FileDialogRequest& request, const std::string& answer) {
    const std::string path = CompleteDialogAnswer(request, answer);
    if (!request.fileMustExist || IsExistingFile(path))
        return "";
    return path.substr(path.find_last_of('/') + 1) + "\nFile does not exist.";
}

namespace {

BOOL RunFileDialog(LPOPENFILENAMEA record, bool save) {
    lastDialogError = 0;
    if (!record || record->lStructSize < OPENFILENAME_SIZE_VERSION_400A) {
        lastDialogError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    zod::Host* host = zod::State().host;
    if (!record->lpstrFile || record->nMaxFile == 0 || !host) {
        lastDialogError = CDERR_INITIALIZATION;
        return FALSE;
    }
    zod::FileDialogRequest request;
    request.owner = record->hwndOwner;
    request.save = save;
    request.filters = ParseFilter(record->lpstrFilter);
    request.filterIndex = static_cast<int>(record->nFilterIndex);
    request.defaultExtension = record->lpstrDefExt ? record->lpstrDefExt : "";
    request.fileMustExist = (record->Flags & OFN_FILEMUSTEXIST) != 0;
    zod::FlushAllDcs();
    std::optional<std::string> answer = host->ShowFileDialog(request);
    if (!answer || answer->empty())
        return FALSE; // cancelled
    // The hosts' choosers keep asking until they have an answer that may close them.
    if (!zod::RefuseDialogAnswer(request, *answer).empty())
        return FALSE;
    const std::string path = zod::CompleteDialogAnswer(request, *answer);
    size_t nameStart = path.find_last_of('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    if (path.size() + 1 > record->nMaxFile) {
        // Windows reports the size it needed in the first two bytes.
        if (record->nMaxFile >= 2) {
            size_t needed = path.size() + 1;
            record->lpstrFile[0] = static_cast<char>(needed & 0xFF);
            record->lpstrFile[1] = static_cast<char>((needed >> 8) & 0xFF);
        }
        lastDialogError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::memcpy(record->lpstrFile, path.c_str(), path.size() + 1);
    size_t dot = path.find('.', nameStart);
    size_t lastDot = path.find_last_of('.');
    record->nFileOffset = static_cast<WORD>(nameStart);
    record->nFileExtension =
        static_cast<WORD>(dot == std::string::npos ? path.size() : lastDot + 1);
    if (record->lpstrFileTitle && record->nMaxFileTitle > 0) {
        std::string title = path.substr(nameStart);
        size_t n = std::min<size_t>(title.size(), record->nMaxFileTitle - 1);
        std::memcpy(record->lpstrFileTitle, title.data(), n);
        record->lpstrFileTitle[n] = '\0';
    }
    return TRUE;
}

} // namespace

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA record) {
    return RunFileDialog(record, false);
}
BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA record) {
    return RunFileDialog(record, true);
}
DWORD WINAPI CommDlgExtendedError() {
    return lastDialogError;
}

int WINAPI MessageBoxExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD) {
    if (!zod::State().host)
        return 0;
    zod::FlushAllDcs();
    zod::MessageBoxRequest request;
    request.owner = owner;
    request.text = text ? text : "";
    request.caption = caption ? caption : "Error";
    request.type = type;
    return zod::State().host->ShowMessageBox(request);
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return MessageBoxExA(owner, text, caption, type, 0);
}

#include "fltk_parts.h"

namespace zod {

std::vector<std::string> SplitPatterns(const std::string& patterns) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos)
            end = patterns.size();
        if (end > start)
            parts.push_back(patterns.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool RefusedInChooser(const FileDialogRequest& request, const std::string& answer,
                      const DialogPlace& place) {
    const std::string why = RefuseDialogAnswer(request, answer);
    if (why.empty())
        return false;
    MessageBoxRequest box;
    box.owner = request.owner;
    box.text = why;
    box.caption = request.save ? "Save As" : "Open";
    box.type = MB_OK;
    RunMessageBox(box, place);
    return true;
}

} // namespace zod

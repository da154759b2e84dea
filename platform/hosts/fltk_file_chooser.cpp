#include "fltk_parts.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_File_Browser.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Window.H>

#include <algorithm>
#include <cctype>

namespace zod {

namespace {

// "*.tvq" becomes "*.[tT][vV][qQ]": names match in either case, as on Windows.
std::string CaseBlindPattern(const std::string& pattern) {
    const std::vector<std::string> parts = SplitPatterns(pattern);
    std::string result;
    for (const std::string& p : parts) {
        if (!result.empty())
            result += ',';
        for (char c : p) {
            unsigned char u = static_cast<unsigned char>(c);
            if (std::isalpha(u)) {
                result += '[';
                result += static_cast<char>(std::tolower(u));
                result += static_cast<char>(std::toupper(u));
                result += ']';
            } else {
                result += c;
            }
        }
    }
    return parts.size() > 1 ? "{" + result + "}" : result;
}

template <typename T> T* FindChild(Fl_Group* group) {
    for (int i = 0; i < group->children(); ++i) {
        Fl_Widget* child = group->child(i);
        if (T* found = dynamic_cast<T*>(child))
            return found;
        if (Fl_Group* inner = child->as_group())
            if (T* found = FindChild<T>(inner))
                return found;
    }
    return nullptr;
}

} // namespace

std::optional<std::string> RunFltkFileChooser(const FileDialogRequest& request,
                                              const std::string& folder) {
    int type = request.save ? Fl_File_Chooser::CREATE : Fl_File_Chooser::SINGLE;
    Fl_File_Chooser chooser(folder.c_str(), "*", type, request.save ? "Save As" : "Open");
    chooser.preview(0);
    // The chooser takes the pattern from the label's parentheses, and ours have their own,
    // so labels and patterns are set on its widgets directly.
    std::vector<std::string> patterns;
    std::string labelList;
    for (const FileFilter& filter : request.filters) {
        std::string label;
        for (char c : filter.label) {
            if (c == '/' || c == '\\' || c == '&' || c == '_')
                label += '\\';
            label += c;
        }
        labelList += (labelList.empty() ? "" : "\t") + label;
        patterns.push_back(CaseBlindPattern(filter.pattern));
    }
    if (patterns.empty()) {
        labelList = "*";
        patterns.push_back("*");
    }
    chooser.filter(labelList.c_str());
    Fl_Box probe(0, 0, 0, 0);
    chooser.add_extra(&probe);
    Fl_Window* dialog = probe.window();
    chooser.add_extra(nullptr);
    Fl_Choice* choice = dialog ? FindChild<Fl_Choice>(dialog) : nullptr;
    Fl_File_Browser* list = dialog ? FindChild<Fl_File_Browser>(dialog) : nullptr;
    struct FilterState {
        Fl_Choice* choice;
        Fl_File_Browser* list;
        Fl_File_Chooser* chooser;
        std::vector<std::string>* patterns;
    } state{choice, list, &chooser, &patterns};
    auto apply = [](Fl_Widget*, void* data) {
        auto* s = static_cast<FilterState*>(data);
        int index = std::clamp(s->choice->value(), 0, int(s->patterns->size()) - 1);
        s->list->filter((*s->patterns)[size_t(index)].c_str());
        s->chooser->rescan();
    };
    if (choice && list) {
        // Only the program's own filters, as the Windows dialog lists them.
        while (choice->size() - 1 > int(patterns.size()))
            choice->remove(choice->size() - 2);
        choice->value(std::clamp(request.filterIndex - 1, 0, int(patterns.size()) - 1));
        choice->callback(apply, &state);
        apply(choice, &state);
    }
    chooser.show();
    if (dialog)
        TakeKeyboardFocus(dialog);
    while (chooser.shown())
        Fl::wait();
    const char* value = chooser.value();
    if (!value || !*value)
        return std::nullopt;
    return std::string(value);
}

} // namespace zod

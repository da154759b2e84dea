#include "fltk_parts.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_File_Browser.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Window.H>
#include <FL/filename.H>

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

// The chooser follows the name field as it is typed: a "/" opens that folder and rewrites the
// field, which mangles a path being typed anywhere but in the folder on view. So while the
// field names another folder the chooser is left alone, and Return hands it the whole path.
// Return on a file name that is refused (RefusedInChooser) says why and leaves the chooser
// as it is, rather than the chooser's own words, which know no default extension.
struct TypedName {
    Fl_File_Chooser* chooser;
    Fl_Callback* chooserCallback;
    void* chooserData;
    const FileDialogRequest* request;
    const DialogPlace* place;

    static void OnChange(Fl_Widget* widget, void* data) {
        auto* self = static_cast<TypedName*>(data);
        const std::string text = static_cast<Fl_File_Input*>(widget)->value();
        std::string folder = self->chooser->directory() ? self->chooser->directory() : "";
        if (folder.empty() || folder.back() != '/')
            folder += '/';
        const size_t slash = text.rfind('/');
        const bool enter = Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter;
        if (enter && !text.empty()) {
            const std::string path = text[0] == '/' ? text : folder + text;
            if (!fl_filename_isdir(path.c_str()) &&
                RefusedInChooser(*self->request, path, *self->place))
                return;
        }
        if (enter || slash == std::string::npos || text.compare(0, slash + 1, folder) == 0)
            self->chooserCallback(widget, self->chooserData);
    }
};

} // namespace

std::optional<std::string> RunFltkFileChooser(const FileDialogRequest& request,
                                              const std::string& folder, const DialogPlace& place) {
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
    Fl_File_Input* name = dialog ? FindChild<Fl_File_Input>(dialog) : nullptr;
    TypedName typed{&chooser, name ? name->callback() : nullptr, name ? name->user_data() : nullptr,
                    &request, &place};
    if (name && typed.chooserCallback)
        name->callback(TypedName::OnChange, &typed);
    // A name that is refused (one that does not exist, for Open) opens the chooser again,
    // with the name as it was typed.
    for (;;) {
        if (dialog) {
            // What the chooser's show() does, but centred over the window, not under the
            // pointer.
            dialog->position(place.x + (place.w - dialog->w()) / 2,
                             place.y + (place.h - dialog->h()) / 2);
            ShowAsDialog(dialog, place.owner);
            Fl::flush();
            chooser.rescan_keep_filename();
            if (name)
                name->take_focus();
            TakeKeyboardFocus(dialog);
        } else {
            chooser.show();
        }
        while (chooser.shown())
            Fl::wait();
        const char* value = chooser.value();
        if (!value || !*value)
            return std::nullopt;
        // A relative name is in the folder on view, which need not be the working directory.
        std::string path = value;
        if (value[0] != '/' && chooser.directory())
            path = std::string(chooser.directory()) + "/" + value;
        if (!RefusedInChooser(request, path, place))
            return path;
    }
}

} // namespace zod

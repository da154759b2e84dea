#include "fltk_parts.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <dlfcn.h>
#include <fnmatch.h>

namespace zod {

namespace {

// The few GTK 2 calls we make, with their C signatures. GTK objects stay opaque.
struct FilterInfo {
    int contains;
    const char* filename;
    const char* uri;
    const char* displayName;
    const char* mimeType;
};
using FilterFunc = int (*)(const FilterInfo*, void*);
using Notify = void (*)(void*);

constexpr int kResponseNone = -1;
constexpr int kResponseAccept = -3;
constexpr int kResponseCancel = -6;
constexpr int kActionOpen = 0;
constexpr int kActionSave = 1;
constexpr int kFilterDisplayName = 1 << 2;
constexpr int kWindowPositionCentre = 1;

struct Gtk {
    void (*disableSetlocale)();
    int (*initCheck)(int*, char***);
    void* (*dialogNew)(const char*, void*, int, const char*, ...);
    void (*setDefaultResponse)(void*, int);
    void (*setPosition)(void*, int);
    int (*setCurrentFolder)(void*, const char*);
    void (*setOverwriteConfirmation)(void*, int);
    void (*setLocalOnly)(void*, int);
    void* (*filterNew)();
    void (*filterSetName)(void*, const char*);
    void (*filterAddCustom)(void*, int, FilterFunc, void*, Notify);
    void (*addFilter)(void*, void*);
    void (*setFilter)(void*, void*);
    void (*realize)(void*);
    void (*show)(void*);
    void* (*getWindow)(void*);
    unsigned long (*xid)(void*);
    void (*flush)();
    unsigned long (*connect)(void*, const char*, void (*)(), void*, void*, int);
    int (*eventsPending)();
    int (*mainIteration)();
    char* (*getFilename)(void*);
    void (*free)(void*);
    void (*destroy)(void*);
    const char* (*userDataDir)();
    int (*makeFolders)(const char*, int);
};

template <typename F> bool Load(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

const Gtk* LoadGtk() {
    static Gtk gtk;
    static int state = 0; // 0 not tried, 1 loaded, -1 unavailable
    if (state != 0)
        return state > 0 ? &gtk : nullptr;
    state = -1;
    // The user's FLTK option to prefer FLTK's own chooser is honoured.
    if (!Fl::option(Fl::OPTION_FNFC_USES_GTK))
        return nullptr;
    void* library = dlopen("libgtk-x11-2.0.so.0", RTLD_LAZY | RTLD_GLOBAL);
    if (!library)
        return nullptr;
    bool complete = Load(library, "gtk_disable_setlocale", gtk.disableSetlocale) &&
                    Load(library, "gtk_init_check", gtk.initCheck) &&
                    Load(library, "gtk_file_chooser_dialog_new", gtk.dialogNew) &&
                    Load(library, "gtk_dialog_set_default_response", gtk.setDefaultResponse) &&
                    Load(library, "gtk_window_set_position", gtk.setPosition) &&
                    Load(library, "gtk_file_chooser_set_current_folder", gtk.setCurrentFolder) &&
                    Load(library, "gtk_file_chooser_set_do_overwrite_confirmation",
                         gtk.setOverwriteConfirmation) &&
                    Load(library, "gtk_file_chooser_set_local_only", gtk.setLocalOnly) &&
                    Load(library, "gtk_file_filter_new", gtk.filterNew) &&
                    Load(library, "gtk_file_filter_set_name", gtk.filterSetName) &&
                    Load(library, "gtk_file_filter_add_custom", gtk.filterAddCustom) &&
                    Load(library, "gtk_file_chooser_add_filter", gtk.addFilter) &&
                    Load(library, "gtk_file_chooser_set_filter", gtk.setFilter) &&
                    Load(library, "gtk_widget_realize", gtk.realize) &&
                    Load(library, "gtk_widget_show", gtk.show) &&
                    Load(library, "gtk_widget_get_window", gtk.getWindow) &&
                    Load(library, "gdk_x11_drawable_get_xid", gtk.xid) &&
                    Load(library, "gdk_flush", gtk.flush) &&
                    Load(library, "g_signal_connect_data", gtk.connect) &&
                    Load(library, "gtk_events_pending", gtk.eventsPending) &&
                    Load(library, "gtk_main_iteration", gtk.mainIteration) &&
                    Load(library, "gtk_file_chooser_get_filename", gtk.getFilename) &&
                    Load(library, "g_free", gtk.free) &&
                    Load(library, "gtk_widget_destroy", gtk.destroy) &&
                    Load(library, "g_get_user_data_dir", gtk.userDataDir) &&
                    Load(library, "g_mkdir_with_parents", gtk.makeFolders);
    if (!complete)
        return nullptr;
    // GTK would otherwise switch the whole process to the user's locale.
    gtk.disableSetlocale();
    if (!gtk.initCheck(nullptr, nullptr))
        return nullptr;
    // The chooser records chosen files in the user's data folder (~/.local/share), and warns
    // on the terminal at every choice when the folder is missing, as it is for a new user.
    gtk.makeFolders(gtk.userDataDir(), 0700);
    state = 1;
    return &gtk;
}

using Patterns = std::vector<std::string>;

// "*.tvq" also matches "IMAGE.TVQ", as on Windows.
int MatchesFilter(const FilterInfo* info, void* data) {
    const char* name = info->displayName ? info->displayName : info->filename;
    if (!name)
        return 0;
    for (const std::string& pattern : *static_cast<const Patterns*>(data))
        if (fnmatch(pattern.c_str(), name, FNM_CASEFOLD) == 0)
            return 1;
    return 0;
}

void DeletePatterns(void* data) {
    delete static_cast<Patterns*>(data);
}

void OnResponse(void*, int response, void* data) {
    *static_cast<int*>(data) = response;
}

// Escape and the window manager's close button delete the dialog, which GTK then destroys
// unless told it is handled; we destroy it ourselves once it has answered.
int KeepOnDelete(void*, void*, void*) {
    return 1;
}

// While the chooser is open FLTK keeps painting but takes no input, as a modal dialog
// disables its owner on Windows.
int DropInput(int event, Fl_Window* window) {
    switch (event) {
    case FL_PUSH:
    case FL_RELEASE:
    case FL_DRAG:
    case FL_MOUSEWHEEL:
    case FL_KEYBOARD:
    case FL_KEYUP:
    case FL_SHORTCUT:
    case FL_CLOSE:
    case FL_PASTE:
    case FL_DND_ENTER:
    case FL_DND_DRAG:
    case FL_DND_RELEASE:
        return 0;
    default:
        return Fl::handle_(event, window);
    }
}

} // namespace

bool GtkFileDialogAvailable() {
    return LoadGtk() != nullptr;
}

std::optional<std::string> RunGtkFileDialog(const FileDialogRequest& request,
                                            const std::string& folder, const DialogPlace& place) {
    const unsigned long owner = place.owner;
    const Gtk* gtk = LoadGtk();
    if (!gtk)
        return std::nullopt;
    void* dialog = gtk->dialogNew(request.save ? "Save As" : "Open", nullptr,
                                  request.save ? kActionSave : kActionOpen, "gtk-cancel",
                                  kResponseCancel, request.save ? "gtk-save" : "gtk-open",
                                  kResponseAccept, static_cast<char*>(nullptr));
    if (!dialog)
        return std::nullopt;
    gtk->setDefaultResponse(dialog, kResponseAccept);
    gtk->setPosition(dialog, kWindowPositionCentre);
    gtk->setLocalOnly(dialog, 1);
    gtk->setOverwriteConfirmation(dialog, 0); // an existing file is replaced without asking
    if (!folder.empty())
        gtk->setCurrentFolder(dialog, folder.c_str());
    void* chosenFilter = nullptr;
    int index = 1;
    for (const FileFilter& filter : request.filters) {
        void* gtkFilter = gtk->filterNew();
        gtk->filterSetName(gtkFilter, filter.label.c_str());
        gtk->filterAddCustom(gtkFilter, kFilterDisplayName, MatchesFilter,
                             new Patterns(SplitPatterns(filter.pattern)), DeletePatterns);
        gtk->addFilter(dialog, gtkFilter);
        if (index++ == request.filterIndex || !chosenFilter)
            chosenFilter = gtkFilter;
    }
    if (chosenFilter)
        gtk->setFilter(dialog, chosenFilter);

    int response = kResponseNone;
    gtk->connect(dialog, "response", reinterpret_cast<void (*)()>(OnResponse), &response, nullptr,
                 0);
    gtk->connect(dialog, "delete-event", reinterpret_cast<void (*)()>(KeepOnDelete), nullptr,
                 nullptr, 0);
    gtk->realize(dialog);
    gtk->flush();
    unsigned long xid = gtk->xid(gtk->getWindow(dialog));
    if (owner) {
        XSetTransientForHint(fl_display, xid, owner);
        XFlush(fl_display);
    }
    gtk->show(dialog);

    Fl_Event_Dispatch previous = Fl::event_dispatch();
    std::optional<std::string> chosen;
    for (;;) {
        Fl::event_dispatch(DropInput);
        bool focused = false;
        while (response == kResponseNone) {
            while (gtk->eventsPending())
                gtk->mainIteration();
            if (response != kResponseNone)
                break;
            if (!focused)
                focused = FocusIfViewable(xid);
            Fl::wait(0.01);
        }
        Fl::event_dispatch(previous);
        char* name = response == kResponseAccept ? gtk->getFilename(dialog) : nullptr;
        if (!name)
            break;
        chosen = std::string(name);
        gtk->free(name);
        // A name that is refused (one that does not exist, for Open) keeps the chooser open.
        DialogPlace overChooser = place;
        overChooser.owner = xid;
        if (!RefusedInChooser(request, *chosen, overChooser))
            break;
        chosen.reset();
        response = kResponseNone;
    }

    gtk->destroy(dialog);
    while (gtk->eventsPending())
        gtk->mainIteration();
    gtk->flush();
    return chosen;
}

} // namespace zod

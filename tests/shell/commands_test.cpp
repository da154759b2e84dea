// Every menu item as the resource script builds it, and ids no item has.
#include "scenario.h"
#include "platform/linux/resources.h"

#include <algorithm>
#include <string>
#include <vector>

namespace zod::test {
namespace {

// Each item is chosen in the menu's order (File > Exit last) with its dialog cancelled, after
// ids that no item has: each item does its own job and keeps the view, the others nothing.
TEST_F(Scenario, EachMenuItemDoesItsOwnJob) {
    StoreSettings("1"); // a factor no level gives, so that every level changes it
    WriteFile("a.tvq", TvqBytes(2, 2, {0xF800, 0x07C0, 0x001F, 0xFFFF}));
    Import("a.tvq");
    const Menu* menu = FindMenuResource("tvq_menu"); // names are case-insensitive
    ASSERT_NE(menu, nullptr);
    std::vector<MenuItem> items;
    for (const MenuItem& popup : menu->popups)
        items.insert(items.end(), popup.items.begin(), popup.items.end());
    std::stable_partition(items.begin(), items.end(),
                          [](const MenuItem& item) { return item.id != IDM_EXIT; });
    // What a step did, worked out at the start of the next.
    size_t dialogs = 0, boxes = 0;
    int32_t factor = 0;
    std::string settings, onView;
    std::vector<uint32_t> view;
    std::vector<std::string> did;
    std::vector<int> greyed;
    auto record = [&] {
        std::string seen;
        if (host.Dialogs().size() > dialogs) {
            const FileDialogRequest& d = host.Dialogs().back();
            seen += (d.save ? "save " : "open ") + d.filters.at(0).label + " " +
                    d.filters[0].pattern + " ." + d.defaultExtension +
                    (d.fileMustExist ? " existing" : "") + (d.filterIndex == 1 ? "" : " index") +
                    (d.owner == host.MainWindow() ? "" : " unowned") +
                    (SelectedPath[0] ? " name kept" : "");
        }
        if (host.MessageBoxes().size() > boxes) {
            const MessageBoxRequest& box = host.MessageBoxes().back();
            seen += "box " + box.caption + ": " + box.text.substr(0, box.text.find('\n')) + " +" +
                    std::to_string(std::count(box.text.begin(), box.text.end(), '\n')) +
                    (box.type == MB_OK ? "" : " icon");
        }
        if (AmplificationFactor != factor)
            seen += "factor " + std::to_string(AmplificationFactor);
        if (Screen() != view)
            seen += " redrawn";
        if (std::to_string(CurrentViewMode) + CurrentPath != onView)
            seen += " view changed";
        if (SettingsContent() != settings)
            seen += "saved " + SettingsContent();
        did.push_back(seen);
        dialogs = host.Dialogs().size(), boxes = host.MessageBoxes().size();
        factor = AmplificationFactor, settings = SettingsContent();
        onView = std::to_string(CurrentViewMode) + CurrentPath, view = Screen();
    };
    Check([&] {
        record();
        did.clear();
        for (int unused : {0, 5, 8, 9, 15, 999, IDM_EXPORT_TVQ})
            PostMessageA(host.MainWindow(), WM_COMMAND, WPARAM(unused), 0);
    });
    for (const MenuItem& item : items) {
        host.QueueDialogAnswer(std::nullopt);
        Check([&] {
            record();
            if (!host.ChooseMenuItem(item.id))
                greyed.push_back(item.id);
        });
    }
    Run();
    record();
    const std::vector<std::string> expected = {
        "", // the ids no item has
        "", // Export > TVQ File
        "save Bitmap Files (.bmp) *.bmp .BMP",
        "open TVQ Files (.TVQ) *.tvq .TVQ existing",
        "open Bitmap Files (.bmp) *.bmp .BMP existing",
        "factor 2 redrawn",
        "factor 3 redrawn",
        "factor 4 redrawn",
        "factor 6 redrawn",
        "factor 8 redrawn",
        "box About ZOD Edozuv: ZOD Edozuv 1.0 +2",
        "saved 8", // File > Exit
    };
    EXPECT_EQ(did, expected);
    EXPECT_EQ(greyed, std::vector<int>{IDM_EXPORT_TVQ});
}

} // namespace
} // namespace zod::test

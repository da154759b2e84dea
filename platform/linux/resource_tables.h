// The menus and the icon and cursor files that resources/zod-edozuv.rc gives, as tables
// that tools/make_resource_tables.py writes from the script at build time.
#pragma once

namespace zod {

// One menu item in the order of the script; depth 0 is a popup on the menu bar, and an
// item is inside the last popup above it that is one level shallower. A separator has
// empty text and id 0. A depth of -1 ends the menu.
struct MenuEntry {
    int depth;
    const char* text; // with its "&" mnemonic
    int id;
    bool grayed; // GRAYED or INACTIVE: our menus can only show a disabled item greyed
};

struct MenuTable {
    const char* name; // nullptr ends the list
    const MenuEntry* entries;
};

struct ResourceFileEntry {
    const char* name; // as written; a numeric name n becomes "#n"; nullptr ends the list
    const char* file; // the file name the script gives
};

extern const MenuTable kMenuTables[];
extern const ResourceFileEntry kIconFiles[];
extern const ResourceFileEntry kCursorFiles[];

} // namespace zod

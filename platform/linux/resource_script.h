// Reads the part of a Windows resource script that the Linux build uses: menus, and which
// file each icon and cursor comes from. Preprocessor lines are skipped, not run, so menu
// ids must be plain numbers; blocks of other kinds (VERSIONINFO, STRINGTABLE, DIALOG...)
// are stepped over.
#pragma once

#include "host.h"

#include <string>
#include <string_view>
#include <vector>

namespace zod {

struct ResourceFile {
    std::string name; // as written; a numeric name n becomes "#n"
    std::string file; // the quoted file name
};

struct ResourceScript {
    // A separator is an item with empty text, id 0 and no items. INACTIVE items are
    // grayed too: our menus can only show a disabled item greyed.
    std::vector<Menu> menus;
    std::vector<ResourceFile> icons;
    std::vector<ResourceFile> cursors;
};

// False with a message ("line N: ...") when the text is not a script we understand;
// `out` is then left as it was.
bool ParseResourceScript(std::string_view text, ResourceScript& out, std::string* error);

} // namespace zod

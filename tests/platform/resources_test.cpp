// The resources built into the Linux program, from the resource script.
#include "platform/linux/resources.h"
#include "resources/command_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <utility>

namespace zod {
namespace {

TEST(Resources, IconAndCursorDecodeWithTheirHotSpot) {
    const Image* cursor = FindCursorResource("tvq_cursor");
    for (const Image* image : {FindIconResource("TVQ_BIG"), cursor}) {
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(std::pair(image->width, image->height), std::pair(32, 32));
        ASSERT_EQ(image->argb.size(), 32u * 32u);
        EXPECT_EQ(image->argb[0] >> 24, 0u); // the AND mask made the corner transparent
    }
    // The hot spot is where the crosshair's centre is drawn, opaque white.
    EXPECT_EQ(std::pair(cursor->hotX, cursor->hotY), std::pair(17, 16));
    EXPECT_EQ(cursor->argb[16 * 32 + 17], 0xFFFFFFFFu);
    EXPECT_EQ(FindIconResource("TVQ_CURSOR"), nullptr); // kinds are kept apart
}

// The menu tables made at build time say what the script says. Read here line by line,
// with the ids by their names as the program knows them, not by the generator's reading.
TEST(Resources, MenuTablesMatchTheScript) {
    const std::map<std::string, int> ids = {
        {"IDM_EXPORT_TVQ", IDM_EXPORT_TVQ}, {"IDM_EXPORT_BMP", IDM_EXPORT_BMP},
        {"IDM_ABOUT", IDM_ABOUT},           {"IDM_EXIT", IDM_EXIT},
        {"IDM_IMPORT_TVQ", IDM_IMPORT_TVQ}, {"IDM_IMPORT_BMP", IDM_IMPORT_BMP},
        {"IDM_LEVEL1", IDM_LEVEL1},         {"IDM_LEVEL2", IDM_LEVEL2},
        {"IDM_LEVEL3", IDM_LEVEL3},         {"IDM_LEVEL4", IDM_LEVEL4},
        {"IDM_LEVEL5", IDM_LEVEL5},
    };
    std::ifstream script(ZOD_SOURCE_DIR "/resources/zod-edozuv.rc");
    ASSERT_TRUE(script.is_open());
    const std::regex popup(R"re(^\s*POPUP\s+"([^"]*)"\s*(//.*)?$)re");
    const std::regex item(R"re(^\s*MENUITEM\s+"([^"]*)",\s*(\w+)(,\s*GRAYED)?\s*(//.*)?$)re");
    std::string expected;
    std::string line;
    bool inMenu = false;
    while (std::getline(script, line)) {
        std::smatch m;
        if (line.rfind("TVQ_MENU MENU", 0) == 0)
            inMenu = true;
        else if (inMenu && line == "END")
            break;
        else if (inMenu && std::regex_match(line, m, popup))
            expected += m[1].str() + ";";
        else if (inMenu && std::regex_match(line, m, item)) {
            ASSERT_EQ(ids.count(m[2].str()), 1u) << line;
            expected += ">" + m[1].str() + "=" + std::to_string(ids.at(m[2].str())) +
                        (m[3].matched ? "g" : "") + ";";
        }
    }
    ASSERT_TRUE(inMenu);

    const Menu* menu = FindMenuResource("TVQ_MENU");
    ASSERT_NE(menu, nullptr);
    std::string built;
    for (const MenuItem& bar : menu->popups) {
        EXPECT_EQ(bar.id, 0) << bar.text;
        built += bar.text + (bar.grayed ? "g" : "") + ";";
        for (const MenuItem& entry : bar.items) {
            EXPECT_TRUE(entry.items.empty()) << entry.text;
            built +=
                ">" + entry.text + "=" + std::to_string(entry.id) + (entry.grayed ? "g" : "") + ";";
        }
    }
    EXPECT_EQ(built, expected);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '>'), 11);
}

} // namespace
} // namespace zod

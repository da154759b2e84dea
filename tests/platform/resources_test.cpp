// The resources built into the Linux program, and the resource-script reader behind them.
#include "platform/posix/embedded.h"
#include "platform/posix/resource_script.h"
#include "platform/posix/state.h" // FindIconResource, FindCursorResource

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zod {
namespace {

struct ExpectedItem {
    const char* popup; // set on a popup's first item
    const char* text;
    int id;
    bool grayed;
};

const ExpectedItem kMenuBar[] = {
    {"&File", "&Exit", 4, false},     {"&Export", "&TVQ File", 1, true},
    {nullptr, "&BMP File", 2, false}, {"&Import", "&TVQ File", 6, false},
    {nullptr, "&BMP File", 7, false}, {"&Color Amplification", "Level &1 <-- low", 10, false},
    {nullptr, "Level &2", 11, false}, {nullptr, "Level &3 <-- medium", 12, false},
    {nullptr, "Level &4", 13, false}, {nullptr, "Level &5 <-- high", 14, false},
    {"&Help", "&About", 3, false},
};

// The menu flattened back into the shape of kMenuBar.
std::vector<std::string> Flatten(const Menu& menu) {
    std::vector<std::string> rows;
    for (const MenuItem& popup : menu.popups) {
        EXPECT_FALSE(popup.grayed) << popup.text;
        EXPECT_EQ(popup.id, 0) << popup.text;
        for (size_t i = 0; i < popup.items.size(); ++i) {
            const MenuItem& item = popup.items[i];
            EXPECT_TRUE(item.items.empty()) << item.text;
            rows.push_back((i == 0 ? popup.text : "") + "|" + item.text + "|" +
                           std::to_string(item.id) + (item.grayed ? "|grayed" : ""));
        }
    }
    return rows;
}

TEST(Resources, MenuBarIsExactlyTheTable) {
    std::vector<std::string> expected;
    for (const ExpectedItem& e : kMenuBar)
        expected.push_back(std::string(e.popup ? e.popup : "") + "|" + e.text + "|" +
                           std::to_string(e.id) + (e.grayed ? "|grayed" : ""));
    const Menu* menu = FindMenuResource("TVQ_MENU");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Flatten(*menu), expected);
    EXPECT_EQ(FindMenuResource("tvq_menu"), menu); // names are case-insensitive
    EXPECT_EQ(FindMenuResource("NO_SUCH_MENU"), nullptr);
    EXPECT_EQ(FindMenuResource(nullptr), nullptr);
}

TEST(Resources, IconAndCursorDecodeWithTheirHotSpot) {
    struct Case {
        const Image* image;
        int hotX, hotY;
    } cases[] = {
        {FindIconResource("TVQ_BIG"), 0, 0},
        {FindCursorResource("tvq_cursor"), 17, 16},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.image, nullptr);
        EXPECT_EQ(c.image->width, 32);
        EXPECT_EQ(c.image->height, 32);
        EXPECT_EQ(c.image->hotX, c.hotX);
        EXPECT_EQ(c.image->hotY, c.hotY);
        ASSERT_EQ(c.image->argb.size(), 32u * 32u);
        // The corner is outside both pictures: the AND mask made it transparent.
        EXPECT_EQ(c.image->argb[0] >> 24, 0u);
    }
    // The hot spot is where the crosshair's centre is drawn, opaque white.
    const Image* cursor = FindCursorResource("TVQ_CURSOR");
    EXPECT_EQ(cursor->argb[16 * 32 + 17], 0xFFFFFFFFu);
    EXPECT_EQ(FindIconResource("TVQ_CURSOR"), nullptr); // kinds are kept apart
    EXPECT_EQ(FindCursorResource("TVQ_BIG"), nullptr);
}

TEST(Resources, EmbeddedFilesAreFoundByNameInAnyCase) {
    const EmbeddedFile* script = FindEmbeddedFile("ZOD-EDOZUV.RC");
    ASSERT_NE(script, nullptr);
    EXPECT_EQ(script->data[script->size], 0); // readable as a C string
    EXPECT_NE(FindEmbeddedFile("tvq_big.ico"), nullptr);
    EXPECT_EQ(FindEmbeddedFile("missing.ico"), nullptr);
}

// Menu items of a parsed script, one line each: depth, text, id and grayed.
std::string Describe(const std::vector<MenuItem>& items, int depth = 0) {
    std::string out;
    for (const MenuItem& item : items) {
        out += std::string(size_t(depth), '>') + item.text + "=" + std::to_string(item.id) +
               (item.grayed ? "g" : "") + ";";
        out += Describe(item.items, depth + 1);
    }
    return out;
}

TEST(ResourceScript, ReadsTheSubsetItUses) {
    struct Case {
        const char* name;
        const char* script;
        const char* menu; // Describe() of the only menu
    } cases[] = {
        {"comments and preprocessor lines",
         "#include <winver.h>\n#define X \\\n  1\n/* a\n MENU */ M MENU // x\n{ POPUP \"a\" "
         "{ MENUITEM \"b\", 1 /* , GRAYED */ } }",
         "a=0;>b=1;"},
        {"BEGIN/END in any case, flags, separators",
         "M MENU DISCARDABLE\nbegin POPUP \"&P\", GRAYED BEGIN MENUITEM \"x\", 0x10, "
         "CHECKED, INACTIVE\nMENUITEM SEPARATOR\nMENUITEM \"y\", 2 GRAYED\nEND end",
         "&P=0g;>x=16g;>=0;>y=2g;"},
        {"doubled quotes and escapes", "M MENU { MENUITEM \"say \"\"hi\"\"\\tF1\", 3 }",
         "say \"hi\"\tF1=3;"},
        {"nested popups", "M MENU { POPUP \"a\" { POPUP \"b\" { MENUITEM \"c\", 5 } } }",
         "a=0;>b=0;>>c=5;"},
        {"blocks it does not use are skipped",
         "1 VERSIONINFO\n FILEVERSION 1,0,0,0\n FILEFLAGSMASK 0x3fL\nBEGIN\n BLOCK "
         "\"StringFileInfo\"\n BEGIN\n  BLOCK \"040904b0\"\n  BEGIN\n   VALUE \"Comments\", "
         "\"END }\"\n  END\n END\n BLOCK \"VarFileInfo\" { VALUE \"Translation\", 0x409, 1200 "
         "}\nEND\nSTRINGTABLE { 1, \"one\" }\nLANGUAGE 9, 1\nD DIALOG 0, 0, 10, 10 CAPTION "
         "\"c\" { }\n2 24 \"app.manifest\"\nM MENU { MENUITEM \"z\", 9 }",
         "z=9;"},
    };
    for (const Case& c : cases) {
        ResourceScript script;
        std::string error;
        ASSERT_TRUE(ParseResourceScript(c.script, script, &error)) << c.name << ": " << error;
        ASSERT_EQ(script.menus.size(), 1u) << c.name;
        EXPECT_EQ(script.menus[0].name, "M") << c.name;
        EXPECT_EQ(Describe(script.menus[0].popups), c.menu) << c.name;
    }
}

TEST(ResourceScript, NamesIconsAndCursors) {
    ResourceScript script;
    ASSERT_TRUE(ParseResourceScript("A ICON \"a.ico\"\n7 CURSOR PRELOAD \"b.cur\"\nB BITMAP "
                                    "\"c.bmp\"\nC ICON \"d.ico\"",
                                    script, nullptr));
    ASSERT_EQ(script.icons.size(), 2u);
    EXPECT_EQ(script.icons[0].name + "=" + script.icons[0].file, "A=a.ico");
    EXPECT_EQ(script.icons[1].name + "=" + script.icons[1].file, "C=d.ico");
    ASSERT_EQ(script.cursors.size(), 1u);
    EXPECT_EQ(script.cursors[0].name + "=" + script.cursors[0].file, "#7=b.cur");
}

TEST(ResourceScript, RefusesMalformedScripts) {
    const char* cases[] = {
        "M MENU { MENUITEM \"a\", 1 ",         // no END
        "M MENU { POPUP \"a\" { } ",           // popup closed, menu not
        "M MENU { MENUITEM \"a\" 1 }",         // no comma
        "M MENU { MENUITEM \"a\", ID_X }",     // an id the preprocessor would have made
        "M MENU { MENUITEM \"a\", 70000 }",    // beyond 16 bits
        "M MENU { MENUITEM \"a\", 1, BOLD }",  // unknown flag
        "M MENU { ITEM \"a\", 1 }",            // unknown statement
        "M MENU { MENUITEM \"a, 1 }",          // string never closed
        "M MENU /* { MENUITEM \"a\", 1 }",     // comment never closed
        "M MENU MENUITEM \"a\", 1",            // no BEGIN
        "A ICON a.ico",                        // unquoted file
        "A ICON",                              // nothing after the type
        "1 VERSIONINFO BEGIN BLOCK \"x\" { }", // block never closed
        "M",                                   // a name alone
        "\"M\" MENU { }",                      // a string where a name goes
        "M MENU { MENUITEM \"a\", 99999999999 }",
        "M MENU { MENUITEM \"a\", 1 } \x01",
    };
    for (const char* text : cases) {
        ResourceScript script;
        script.icons.push_back({"KEEP", "keep.ico"});
        std::string error;
        EXPECT_FALSE(ParseResourceScript(text, script, &error)) << text;
        EXPECT_EQ(error.rfind("line ", 0), 0u) << text << ": " << error;
        EXPECT_EQ(script.icons.size(), 1u) << text; // untouched on failure
    }
}

TEST(ResourceScript, EveryPrefixOfOurScriptEndsCleanly) {
    const EmbeddedFile* file = FindEmbeddedFile("zod-edozuv.rc");
    ASSERT_NE(file, nullptr);
    std::string text(reinterpret_cast<const char*>(file->data), file->size);
    // Cut anywhere: a result either way, never a crash or a hang (ASan watches).
    for (size_t n = 0; n <= text.size(); ++n) {
        ResourceScript script;
        ParseResourceScript(std::string_view(text).substr(0, n), script, nullptr);
    }
    std::string tooDeep = "M MENU ";
    for (int i = 0; i < 100; ++i)
        tooDeep += "{ POPUP \"p\" ";
    ResourceScript script;
    EXPECT_FALSE(ParseResourceScript(tooDeep, script, nullptr));
}

} // namespace
} // namespace zod

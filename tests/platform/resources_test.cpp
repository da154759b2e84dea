// The resources built into the Linux program, and the resource-script reader behind them.
#include "platform/linux/resource_script.h"
#include "platform/linux/resources.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace zod {
namespace {

// Menu items, one entry each: depth, text, id and grayed.
std::string Describe(const std::vector<MenuItem>& items, int depth = 0) {
    std::string out;
    for (const MenuItem& item : items) {
        out += std::string(size_t(depth), '>') + item.text + "=" + std::to_string(item.id) +
               (item.grayed ? "g" : "") + ";";
        out += Describe(item.items, depth + 1);
    }
    return out;
}

// A menu with `depth` popups, each inside the one before.
std::string Nested(int depth) {
    std::string text = "M MENU { ";
    for (int i = 0; i < depth; ++i)
        text += "POPUP \"p\" { ";
    return text + std::string(size_t(depth) + 1, '}');
}

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

// Our own script is read by the menu test of the shell; these are forms it does not use.
TEST(ResourceScript, ReadsTheSubsetItUses) {
    const char* text =
        "#include <winver.h>\n#define X \\\n  1\n/* a\n MENU */ M MENU DISCARDABLE\nbegin "
        "POPUP \"&P\", GRAYED BEGIN MENUITEM \"x\", 0x10, CHECKED, INACTIVE\nMENUITEM SEPARATOR\n"
        "POPUP \"say \"\"hi\"\"\\tF1\" { MENUITEM \"c\", 5 /* , GRAYED */ } END end";
    ResourceScript script;
    std::string error;
    ASSERT_TRUE(ParseResourceScript(text, script, &error)) << error;
    ASSERT_EQ(script.menus.size(), 1u);
    EXPECT_EQ(script.menus[0].name, "M");
    EXPECT_EQ(Describe(script.menus[0].popups), "&P=0g;>x=16g;>=0;>say \"hi\"\tF1=0;>>c=5;");
}

TEST(ResourceScript, RefusesMalformedScripts) {
    const std::string cases[] = {
        "M MENU { POPUP \"a\" { } ",           // popup closed, menu not
        "M MENU { MENUITEM \"a\" 1 }",         // no comma
        "M MENU { MENUITEM \"a\", ID_X }",     // an id the preprocessor would have made
        "M MENU { MENUITEM \"a\", 70000 }",    // beyond 16 bits
        "M MENU { MENUITEM \"a\", 1, BOLD }",  // unknown flag
        "M MENU { MENUITEM \"a, 1 }",          // string never closed
        "M MENU /* { MENUITEM \"a\", 1 }",     // comment never closed
        "A ICON a.ico",                        // unquoted file
        "1 VERSIONINFO BEGIN BLOCK \"x\" { }", // block never closed
        "M MENU { MENUITEM \"a\", 1 } \x01",
        Nested(20), // nesting is limited
    };
    for (const std::string& text : cases) {
        ResourceScript script;
        script.icons.push_back({"KEEP", "keep.ico"});
        std::string error;
        EXPECT_FALSE(ParseResourceScript(text, script, &error)) << text;
        EXPECT_EQ(error.rfind("line ", 0), 0u) << text << ": " << error;
        EXPECT_EQ(script.icons.size(), 1u) << text; // untouched on failure
    }
    ResourceScript script;
    EXPECT_TRUE(ParseResourceScript(Nested(10), script, nullptr)); // within the limit
}

} // namespace
} // namespace zod

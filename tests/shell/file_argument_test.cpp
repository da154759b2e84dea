// A file named on the command line: how the line is read, and what the first paint shows.
#include "scenario.h"

namespace zod::test {
namespace {

struct ArgumentCase {
    const char* name;
    const char* commandLine;
    const char* argument; // nullptr: none
};

class CommandLine : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(CommandLine, GivesTheFirstArgumentUnquoted) {
    char argument[kPathCapacity] = "unchanged";
    bool found = FirstCommandLineArgument(GetParam().commandLine, argument, sizeof argument);
    ASSERT_EQ(found, GetParam().argument != nullptr);
    if (found) {
        EXPECT_STREQ(argument, GetParam().argument);
    }
}

const std::string kLongest(kPathCapacity - 1, 'x');
const std::string kTooLong = kLongest + "x";

INSTANTIATE_TEST_SUITE_P(
    Windows, CommandLine,
    ::testing::Values(ArgumentCase{"Empty", "", nullptr}, ArgumentCase{"Blank", " \t ", nullptr},
                      ArgumentCase{"EmptyQuotes", "\"\"", nullptr},
                      ArgumentCase{"Plain", "  a.tvq  b.bmp", "a.tvq"},
                      ArgumentCase{"Dropped", "\"C:\\My Pictures\\a b.TVQ\"",
                                   "C:\\My Pictures\\a b.TVQ"},
                      ArgumentCase{"QuoteInside", "x\"y z\"w rest", "xy zw"},
                      ArgumentCase{"EscapedQuote", "\"say \\\"hi\\\".bmp\"", "say \"hi\".bmp"},
                      ArgumentCase{"TrailingBackslashes", "\"dir\\\\\" next", "dir\\"},
                      ArgumentCase{"LoneBackslashes", "a\\\\b\\c", "a\\\\b\\c"},
                      ArgumentCase{"Longest", kLongest.c_str(), kLongest.c_str()},
                      ArgumentCase{"TooLong", kTooLong.c_str(), nullptr}),
    CaseName());

struct OpenCase {
    const char* name;
    const char* commandLine;
    ViewMode mode;
    COLORREF corner; // client pixel (0, 0)
};

class FileArgument : public Scenario, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(FileArgument, IsViewedAtStartAsIfImported) {
    StoreSettings("8");
    WriteFile("white one.TVQ", TvqBytes(1, 1, {0xFFFF}));
    WriteFile("red.bmp", Bmp24Bytes(2, 2, [](int, int) { return RGB(200, 0, 0); }));
    WriteFile("intro.bmp", Bmp24Bytes(640, 462, [](int, int) { return RGB(9, 9, 9); }));
    Check([&] {
        EXPECT_EQ(CurrentViewMode, GetParam().mode);
        EXPECT_EQ(Client(0, 0), GetParam().corner);
    });
    Run(GetParam().commandLine);
    EXPECT_TRUE(host.MessageBoxes().empty());
    EXPECT_TRUE(host.Dialogs().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileArgument,
    ::testing::Values(OpenCase{"TvqInAnyCase", "\"white one.TVQ\"", VIEW_TVQ, RGB(248, 248, 248)},
                      OpenCase{"Bitmap", "red.bmp", VIEW_BITMAP, RGB(200, 0, 0)},
                      OpenCase{"MissingDrawsNothing", "gone.tvq", VIEW_TVQ, RGB(0, 0, 0)},
                      OpenCase{"NoneShowsTheIntro", "", VIEW_INTRO, RGB(9, 9, 9)}),
    CaseName());

} // namespace
} // namespace zod::test

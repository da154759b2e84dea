// The desktop program in a real X server, driven as a person would and checked by
// screenshots and by the files it writes. The program's logic is proven on the headless
// host; these tests prove the desktop host's journeys.
#include "tests/support/gui_session.h"
#include "tests/support/image_files.h"

#include <sys/stat.h>
#include <sys/wait.h>

using namespace zod::test;
using namespace zod::test::gui;

namespace {

constexpr int kMenuBarRows = 18;
enum Menu { kFile, kExport, kImport, kColour, kHelp, kMenus };

// The sample: neighbouring pixels differ, so a shifted or flipped picture does not match.
constexpr int kTvqW = 64, kTvqH = 32;
const std::string kSample = TvqBytes(kTvqW, kTvqH, NoiseWords(kTvqW* kTvqH));
auto SampleAt(int factor) {
    return [picture = TvqPicture(kSample, factor)](int x, int y) {
        return picture[size_t(y * kTvqW + x)];
    };
}

constexpr int kIntroW = 200, kIntroH = 100;
uint32_t IntroColour(int x, int y) {
    return uint32_t(40 + x) | uint32_t(100 + y) << 8 | uint32_t(200) << 16;
}

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(EnsureXServer()) << "no X server";
        WriteFileBytes(session_.work() + "/intro.bmp", Bmp24Bytes(kIntroW, kIntroH, IntroColour));
        WriteFileBytes(session_.work() + "/SAMPLE.TVQ", kSample);
        // Away from where dialogs open: without a window manager the keyboard follows the
        // pointer, so dialogs must take it themselves.
        MovePointer(kScreenW - 5, kScreenH - 5);
    }

    // Starts the program with no settings file and answers the message that says so.
    void FirstStart() {
        ASSERT_TRUE(session_.Start(ZOD_PROGRAM));
        ASSERT_TRUE(Shown("Initialization Error"));
        Key("Return");
        ASSERT_TRUE(Shown("Initialization Error", false));
    }

    void ExpectCleanExit(const std::string& settings, const std::string& errors = "") {
        int status = -1;
        ASSERT_TRUE(session_.Ended(&status));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
        EXPECT_EQ(ReadFileBytes(settings_), settings);
        EXPECT_EQ(session_.Errors(), errors);
    }

    // A picture centred on the screen as the intro is, 10 pixels left of the middle.
    ::testing::AssertionResult
    IntroShown(const std::function<uint32_t(int, int)>& colour = IntroColour, int w = kIntroW,
               int h = kIntroH) {
        return OnScreen(kScreenW / 2 - w / 2 - 10, kScreenH / 2 - h / 2, w, h, colour);
    }
    // In the Open chooser: Return on a name that does not exist brings a box over the chooser
    // ("Open", as Windows names it), whose Return leaves the chooser open.
    static void ExpectMissingNameRefused(const std::string& name) {
        auto opens = [] {
            return Shell("xdotool search --onlyvisible --name '^Open$' | wc -l").substr(0, 1);
        };
        Type(name);
        Key("Return");
        ASSERT_TRUE(WaitUntil([&] { return opens() == "2"; })) << "no box over the chooser";
        Key("Return");
        ASSERT_TRUE(WaitUntil([&] { return opens() == "1"; })) << "the chooser closed";
    }

    ::testing::AssertionResult SampleShown(int factor) {
        return OnScreen(0, kMenuBarRows, kTvqW, kTvqH, SampleAt(factor));
    }

    // The export took the name the chooser gave; what it holds, the headless tests prove.
    void ExpectExported(const std::string& name) {
        EXPECT_TRUE(WaitUntil([&] { return FileExists(session_.work() + "/" + name); })) << name;
    }

    Session session_;
    std::string settings_ = session_.config() + "/zod-edozuv/RARURI.ini";
};

// The first start, the flow in the desktop's (GTK) file chooser with menus opened by the
// mouse, then leaving by a close request. Typing the start of a name chooses a listed file in
// either chooser, GTK's by its type-ahead and FLTK's by completing the name, so "S" proves
// that the filter lists SAMPLE.TVQ.
TEST_F(GuiTest, FirstStartMouseFlowAndACloseRequest) {
    FirstStart();
    // The window covers the screen: the intro is centred with its 10-pixel shift to the
    // left, and the sample below shows under the 18-row menu bar.
    const unsigned long window = FindWindow("ZOD Edozuv");
    ASSERT_TRUE(IntroShown());
    ASSERT_TRUE(ClickMenuTitle(kMenuBarRows, kMenus, kImport));
    Key("t");
    ASSERT_TRUE(AnswerDialog("Open", "S"));
    EXPECT_TRUE(SampleShown(3));
    ASSERT_TRUE(ClickMenuTitle(kMenuBarRows, kMenus, kColour));
    Key("5");
    EXPECT_TRUE(SampleShown(8));
    // Down skips the greyed Export > TVQ File.
    ASSERT_TRUE(ClickMenuTitle(kMenuBarRows, kMenus, kExport));
    Key("Down Return");
    ASSERT_TRUE(Shown("Save As"));
    EXPECT_TRUE(SampleShown(8)) << "lost under the dialog";
    ASSERT_TRUE(AnswerDialog("Save As", "exported"));
    ExpectExported("exported.BMP");

    // Escape does not close the program: the About box comes after both keys have been taken.
    Key("Escape alt+h a");
    ASSERT_TRUE(Shown("About ZOD Edozuv"));
    EXPECT_TRUE(SampleShown(8));
    Key("Return");
    ASSERT_TRUE(Shown("About ZOD Edozuv", false));

    // A name that does not exist keeps the chooser open, after a box that says so; cancelling
    // it keeps the view.
    Key("alt+i b");
    ASSERT_TRUE(Shown("Open"));
    ExpectMissingNameRefused(session_.work() + "/missing.bmp");
    Key("Escape");
    ASSERT_TRUE(Shown("Open", false));

    // Closing the window leaves without saving the level.
    SendCloseRequest(window);
    ExpectCleanExit("3");
}

// Under openbox, from the first start to File > Exit, which saves the level, with Alt and the
// underlined letters alone: the window takes the keyboard at start and after every dialog,
// shows in taskbars, and its dialogs are transient dialogs of the program's class. FLTK's own
// chooser answers, as a user without GTK gets it (here by turning FLTK's GTK option off): it
// opens over the window and takes a typed path.
TEST_F(GuiTest, KeyboardJourneyUnderAWindowManager) {
    ASSERT_TRUE(StartWindowManager("openbox"));
    WriteFileBytes(session_.home() + "/.fltk/fltk.org/fltk.prefs",
                   "; FLTK preferences file format 1.0\n; vendor: fltk.org\n"
                   "; application: fltk\n[./options]\nFNFCUsesGTK:0\n");
    FirstStart();
    const unsigned long window = FindWindow("ZOD Edozuv");
    EXPECT_EQ(Property(window, "_NET_WM_STATE").find("SKIP_TASKBAR"), std::string::npos);
    const std::string ourClass = "\"zod-edozuv\", \"Zod-edozuv\"";
    EXPECT_EQ(Property(window, "WM_CLASS"), ourClass);
    const std::string geometry = Shell("xdotool getwindowgeometry " + std::to_string(window));
    EXPECT_NE(geometry.find("Position: 0,0"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 1024x768"), std::string::npos) << geometry;

    // Openbox offers minimise for every dialog, whatever the hints say; maximise it drops.
    Key("alt+h a");
    ASSERT_TRUE(Shown("About ZOD Edozuv"));
    const unsigned long about = FindWindow("About ZOD Edozuv");
    char owner[32];
    std::snprintf(owner, sizeof owner, "window id # 0x%lx", window);
    EXPECT_EQ(Property(about, "WM_TRANSIENT_FOR"), owner);
    EXPECT_EQ(Property(about, "WM_CLASS"), ourClass);
    EXPECT_EQ(Property(about, "_NET_WM_WINDOW_TYPE"), "_NET_WM_WINDOW_TYPE_DIALOG");
    EXPECT_EQ(Property(about, "_NET_WM_ALLOWED_ACTIONS").find("MAXIMIZE"), std::string::npos);
    Key("Return");
    ASSERT_TRUE(Shown("About ZOD Edozuv", false));

    Key("alt+i t");
    ASSERT_TRUE(Shown("Open"));
    int x = 0, y = 0, w = 0, h = 0; // the frame may shift it a little
    std::sscanf(Shell("xdotool getwindowgeometry " + std::to_string(FindWindow("Open")) +
                      " | tr -c 0-9 ' '")
                    .c_str(),
                "%*d %d %d %*d %d %d", &x, &y, &w, &h);
    EXPECT_NEAR(x + w / 2, kScreenW / 2, 30);
    EXPECT_NEAR(y + h / 2, kScreenH / 2, 30);
    ExpectMissingNameRefused(session_.work() + "/missing.tvq");
    // A file that is no TVQ image is drawn all the same; the terminal says what it is.
    const std::string empty = session_.work() + "/empty.tvq";
    WriteFileBytes(empty, TvqBytes(4, 4, {}));
    Key("ctrl+a");
    Type(empty);
    Key("Return");
    ASSERT_TRUE(Shown("Open", false));
    const std::string said = "zod-edozuv: " + empty +
                             ": no pixels: the file ends within its "
                             "32-byte header\n";
    EXPECT_TRUE(WaitUntil([&] { return session_.Errors() == said; })) << session_.Errors();
    Key("alt+i t");
    ASSERT_TRUE(Shown("Open"));
    Key("ctrl+a");
    // Completing "S" proves that the filter lists SAMPLE.TVQ.
    Type(session_.work() + "/S");
    Key("Return");
    ASSERT_TRUE(Shown("Open", false));
    EXPECT_TRUE(SampleShown(3));
    Key("alt+c 5");
    EXPECT_TRUE(SampleShown(8));
    Key("alt+e b");
    ASSERT_TRUE(AnswerDialog("Save As", "exported.bmp"));
    ExpectExported("exported.bmp");
    Key("alt+f e");
    ExpectCleanExit("8", said);
}

// A file named on the command line is shown at start instead of the intro; one that cannot
// be read shows nothing, and the terminal names it.
TEST_F(GuiTest, FileArguments) {
    // Blanks, a quote and a backslash before it survive Windows' quoting both ways.
    WriteFileBytes(session_.work() + "/Two \\\"Words\".tvq", kSample);
    WriteFileBytes(session_.work() + "/sample.bmp", Bmp24Bytes(kTvqW, kTvqH, SampleAt(6)));
    // Neither is read: a pipe would wait for a writer, and the start with it.
    mkfifo((session_.work() + "/pipe.tvq").c_str(), 0600);
    mkfifo((session_.work() + "/pipe.bmp").c_str(), 0600);
    WriteFileBytes(session_.work() + "/damaged.bmp", "BM" + std::string(60, '\x7f'));
    WriteFileBytes(session_.work() + "/empty.tvq", TvqBytes(4, 4, {})); // drawn black
    const struct {
        const char* file;
        int factor; // 0: nothing shown, and the terminal says why
    } cases[] = {{"SAMPLE.TVQ", 3},  {"Two \\\"Words\".tvq", 3},
                 {"sample.bmp", 6},  {"gone.tvq", 0},
                 {"pipe.tvq", 0},    {"pipe.bmp", 0},
                 {"damaged.bmp", 0}, {"empty.tvq", 0}};
    for (const auto& c : cases) {
        Session session;
        WriteFileBytes(session.config() + "/zod-edozuv/RARURI.ini", "3");
        WriteFileBytes(session.work() + "/intro.bmp", Bmp24Bytes(kIntroW, kIntroH, IntroColour));
        ASSERT_TRUE(session.Start(ZOD_PROGRAM, {session_.work() + "/" + c.file})) << c.file;
        const std::function<uint32_t(int, int)> black = [](int, int) { return 0u; };
        EXPECT_TRUE(OnScreen(0, kMenuBarRows, kTvqW, kTvqH, c.factor ? SampleAt(c.factor) : black));
        EXPECT_TRUE(IntroShown(black)) << c.file;
        // A black screen may come before the program has started: wait for its message.
        const auto said = [&] { return session.Errors().find(c.file) != std::string::npos; };
        if (c.factor == 0) {
            EXPECT_TRUE(WaitUntil(said)) << c.file;
        } else {
            EXPECT_FALSE(said()) << c.file;
        }
    }
}

// `cmake --install` into a fresh prefix: what a desktop needs, and a launcher that, started
// from the home folder, shows the installed intro picture.
TEST_F(GuiTest, InstallLayout) {
    const std::string prefix = session_.home() + "/prefix", share = prefix + "/share";
    // The desktop's own BMP viewer, which the install must leave the default.
    const std::string system = session_.home() + "/system";
    mkdir(system.c_str(), 0700);
    mkdir((system + "/applications").c_str(), 0700);
    WriteFileBytes(system + "/applications/viewer.desktop",
                   "[Desktop Entry]\nType=Application\nName=Viewer\nExec=true %f\n"
                   "MimeType=image/bmp;\n");
    // No update-mime-database here: the install refreshes the caches of its prefix.
    const std::string out = Shell(
        "cmake --install " ZOD_BUILD_DIR " --prefix " + prefix + " >" + prefix +
        ".log && grep Refreshing: " + prefix + ".log && cd " + share +
        " && desktop-file-validate applications/zod-edozuv.desktop && cp " + session_.work() +
        "/SAMPLE.TVQ B.TVQ && update-desktop-database " + system + "/applications && export PATH=" +
        prefix + "/bin:$PATH LC_ALL=C.UTF-8 XDG_DATA_HOME=$PWD XDG_DATA_DIRS=" + system +
        ":/usr/share && gio info -a standard::content-type B.TVQ && gio mime image/bmp && "
        "gio mime image/x-tvq && file -N icons/hicolor/*/apps/* && ls "
        "applications/mimeinfo.cache && cat man/man1/zod-tvq.1 man/man1/zod-edozuv.1 && bash -c "
        "'source bash-completion/completions/zod-tvq && complete -p zod-tvq'");
    EXPECT_NE(out.find("content-type: image/x-tvq"), std::string::npos) << out;
    EXPECT_NE(out.find("applications/mimeinfo.cache"), std::string::npos) << out;
    // The launcher is offered for BMP files, and opens TVQ files, by default.
    for (const char* line :
         {"Default application for “image/bmp”: viewer.desktop", "\tzod-edozuv.desktop\n",
          "Default application for “image/x-tvq”: zod-edozuv.desktop",
          "Refreshing: gtk-update-icon-cache -q -f -t "})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    for (const char* manual : {"zod\\-tvq \\- convert TVQ images", "zod\\-edozuv \\- view TVQ"})
        EXPECT_NE(out.find(manual), std::string::npos) << manual;
    EXPECT_NE(out.find("complete -F _zod_tvq zod-tvq"), std::string::npos) << out;
    // A component installs its own part alone, as after building only its target.
    const std::string part = session_.home() + "/part";
    EXPECT_EQ(Shell("cmake --install " ZOD_BUILD_DIR " --component converter --prefix " + part +
                    " >/dev/null && cd " + part + " && find . -type f | sort"),
              "./bin/zod-tvq\n./share/bash-completion/completions/zod-tvq\n"
              "./share/man/man1/zod-tvq.1\n");
    for (std::string n : {"16", "32", "48", "64", "128", "256"})
        EXPECT_NE(out.find(n + "x" + n + "/apps/zod-edozuv.png: PNG image data, " + n + " x " + n),
                  std::string::npos)
            << out;
    WriteFileBytes(settings_, "3");
    const std::string intro = ReadFileBytes(share + "/zod-edozuv/intro.bmp");
    ASSERT_GE(intro.size(), 54u) << out;
    ASSERT_TRUE(
        session_.Start("/bin/sh", {"-c", "cd && PATH=" + prefix + "/bin:$PATH exec gio launch " +
                                             share + "/applications/zod-edozuv.desktop"}));
    EXPECT_TRUE(IntroShown([&](int x, int y) { return Bmp24Pixel(intro, x, y); },
                           int(ReadLe32(BytesAt(intro, 18))), int(ReadLe32(BytesAt(intro, 22)))));
    SendCloseRequest(FindWindow("ZOD Edozuv"));
    EXPECT_TRUE(Shown("ZOD Edozuv", false));
}

// The command line is answered before any window: a usage error opens none, and a missing
// display gets a line of the program's own.
TEST_F(GuiTest, CommandLineIsAnsweredWithoutAWindow) {
    const struct {
        const char* command;
        const char* says;
        int status;
    } cases[] = {
        {ZOD_PROGRAM " --version", "zod-edozuv " ZOD_VERSION "\n", 0},
        {ZOD_PROGRAM " -x", "zod-edozuv: unknown option -x\nUsage: zod-edozuv [FILE]", 2},
        {ZOD_PROGRAM " --level=3", "zod-edozuv: unknown option --level=3\n", 2},
        // Control characters reach the terminal as escapes, C1 ones too.
        {ZOD_PROGRAM " \"$(printf '%s\\033]0;x\\007\\302\\233' -)\"",
         "zod-edozuv: unknown option -\\x1b]0;x\\x07\\u009b\n", 2},
        {"DISPLAY= " ZOD_PROGRAM, "zod-edozuv: no display: DISPLAY is not set", 1},
        {"DISPLAY=:65000 " ZOD_PROGRAM " SAMPLE.TVQ",
         "zod-edozuv: cannot open the display :65000\n", 1},
    };
    for (const auto& c : cases) {
        const std::string out =
            Shell("cd " + session_.work() + " && " + c.command + " 2>&1; echo \"status $?\"");
        EXPECT_EQ(out.rfind(c.says, 0), 0u) << c.command << ": " << out;
        EXPECT_NE(out.find("status " + std::to_string(c.status)), std::string::npos) << out;
        EXPECT_EQ(FindWindow("ZOD Edozuv"), 0u) << c.command;
    }
}

} // namespace

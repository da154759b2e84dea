// The desktop program as a desktop meets it: under a window manager (openbox), opened with
// a file from a file manager, and installed with its launcher, MIME type and icons.
#include "tests/support/gui_session.h"
#include "tests/support/image_files.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zod::test;
using namespace zod::test::gui;

namespace {

constexpr int kMenuRows = 18;
constexpr int kTvqW = 64, kTvqH = 32;
uint32_t SampleAt(int factor, int x, int y) {
    return AmplifiedColour(TvqWord(x % 32, y, (x + y) % 32), factor);
}
std::string SampleTvq() {
    std::vector<uint16_t> words;
    for (int y = 0; y < kTvqH; ++y)
        for (int x = 0; x < kTvqW; ++x)
            words.push_back(TvqWord(x % 32, y, (x + y) % 32));
    return TvqBytes(kTvqW, kTvqH, words);
}
::testing::AssertionResult SampleShown(int factor) {
    return OnScreen(0, kMenuRows, kTvqW, kTvqH,
                    [factor](int x, int y) { return SampleAt(factor, x, y); });
}

// A picture centred on the screen as the intro is, 10 pixels left of the middle.
::testing::AssertionResult CentredPicture(const std::string& bmp, int w, int h) {
    return OnScreen(kScreenW / 2 - w / 2 - 10, kScreenH / 2 - h / 2, w, h,
                    [&](int x, int y) { return Bmp24Pixel(bmp, x, y); });
}

// The names of the atoms in an ATOM-list property of a window.
std::vector<std::string> Atoms(unsigned long window, const char* property) {
    std::vector<std::string> names;
    XConnection x = ConnectToX();
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (x && XGetWindowProperty(x.get(), window, XInternAtom(x.get(), property, False), 0, 64,
                                False, XA_ATOM, &type, &format, &count, &after, &data) == Success) {
        for (unsigned long i = 0; i < count; ++i) {
            char* name = XGetAtomName(x.get(), reinterpret_cast<Atom*>(data)[i]);
            names.emplace_back(name);
            XFree(name);
        }
    }
    if (data)
        XFree(data);
    return names;
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// "name/class" of WM_CLASS, and the window a dialog is transient for.
std::string WindowClass(unsigned long window) {
    XConnection x = ConnectToX();
    XClassHint hint{};
    if (!x || !XGetClassHint(x.get(), window, &hint))
        return "";
    std::string text = std::string(hint.res_name) + "/" + hint.res_class;
    XFree(hint.res_name);
    XFree(hint.res_class);
    return text;
}
unsigned long TransientFor(unsigned long window) {
    XConnection x = ConnectToX();
    Window owner = 0;
    return x && XGetTransientForHint(x.get(), window, &owner) ? owner : 0;
}

class Desktop : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(EnsureXServer()) << "no X server";
        WriteFileBytes(session_.work() + "/SAMPLE.TVQ", SampleTvq());
        mkdir((session_.config() + "/zod-edozuv").c_str(), 0755);
        MovePointer(kScreenW - 5, kScreenH - 5); // nowhere a window opens
    }
    void TearDown() override {
        if (windowManager_ > 0 && kill(windowManager_, SIGTERM) == 0)
            waitpid(windowManager_, nullptr, 0);
    }

    ::testing::AssertionResult StartOpenbox() {
        if ((windowManager_ = fork()) == 0) {
            setenv("HOME", session_.home().c_str(), 1);
            dup2(open("/dev/null", O_WRONLY), 2);
            execlp("openbox", "openbox", static_cast<char*>(nullptr));
            _exit(127);
        }
        // A window manager that follows the standard marks the root window.
        if (WaitUntil([] {
                XConnection x = ConnectToX();
                Atom check = x ? XInternAtom(x.get(), "_NET_SUPPORTING_WM_CHECK", False) : None;
                Atom type;
                int format;
                unsigned long count = 0, after;
                unsigned char* data = nullptr;
                if (x &&
                    XGetWindowProperty(x.get(), DefaultRootWindow(x.get()), check, 0, 1, False,
                                       XA_WINDOW, &type, &format, &count, &after,
                                       &data) == Success &&
                    data)
                    XFree(data);
                return count == 1;
            }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "openbox did not start";
    }

    void StoreFactor(const char* factor) {
        WriteFileBytes(session_.config() + "/zod-edozuv/RARURI.ini", factor);
    }

    Session session_;
    pid_t windowManager_ = -1;
};

// Under openbox, from the first start to File > Exit with the keyboard alone: the window
// takes the keyboard at start and after every dialog, shows in taskbars, and its dialogs
// are transient dialogs of the program's class. The GTK chooser leaves the terminal clean.
TEST_F(Desktop, KeyboardJourneyUnderAWindowManager) {
    ASSERT_TRUE(StartOpenbox());
    ASSERT_TRUE(session_.Start(ZOD_PROGRAM));
    ASSERT_TRUE(Shown("Initialization Error"));
    Key("Return");
    ASSERT_TRUE(Shown("Initialization Error", false));

    const unsigned long window = FindWindow("ZOD Edozuv");
    ASSERT_NE(window, 0u);
    EXPECT_FALSE(Has(Atoms(window, "_NET_WM_STATE"), "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_EQ(WindowClass(window), "zod-edozuv/Zod-edozuv");
    const std::string geometry = Shell("xdotool getwindowgeometry " + std::to_string(window));
    EXPECT_NE(geometry.find("Position: 0,0"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 1024x768"), std::string::npos) << geometry;

    Key("alt+h a");
    ASSERT_TRUE(Shown("About ZOD Edozuv"));
    const unsigned long about = FindWindow("About ZOD Edozuv");
    EXPECT_EQ(TransientFor(about), window);
    EXPECT_EQ(WindowClass(about), "zod-edozuv/Zod-edozuv");
    EXPECT_TRUE(Has(Atoms(about, "_NET_WM_WINDOW_TYPE"), "_NET_WM_WINDOW_TYPE_DIALOG"));
    // Openbox offers minimise for every dialog, whatever the hints say; maximise it drops.
    const std::vector<std::string> actions = Atoms(about, "_NET_WM_ALLOWED_ACTIONS");
    EXPECT_TRUE(Has(actions, "_NET_WM_ACTION_CLOSE"));
    EXPECT_FALSE(Has(actions, "_NET_WM_ACTION_MAXIMIZE_HORZ"));
    Key("Return");
    ASSERT_TRUE(Shown("About ZOD Edozuv", false));

    Key("alt+i t");
    ASSERT_TRUE(Shown("Open"));
    Key("Escape");
    ASSERT_TRUE(Shown("Open", false));
    Key("alt+i t");
    ASSERT_TRUE(Shown("Open"));
    Type(session_.work() + "/SAMPLE.TVQ");
    Key("Return");
    ASSERT_TRUE(Shown("Open", false));
    EXPECT_TRUE(SampleShown(3));
    Key("alt+c 5");
    EXPECT_TRUE(SampleShown(8));
    Key("alt+f e");
    int status = -1;
    ASSERT_TRUE(session_.Ended(&status));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFileBytes(session_.config() + "/zod-edozuv/RARURI.ini"), "8");
    EXPECT_EQ(session_.Errors(), "");
}

struct ArgumentCase {
    const char* name;
    const char* file; // in the working folder
    int shows;        // 0 nothing, 3 the sample TVQ at the saved factor, 1 the BMP
};

class OpenedWith : public Desktop, public ::testing::WithParamInterface<ArgumentCase> {};

TEST_P(OpenedWith, AFileItIsShownAtStartWithoutADialog) {
    const ArgumentCase& c = GetParam();
    StoreFactor("3");
    const std::string intro = Bmp24Bytes(40, 20, [](int, int) { return 0x3080F0u; });
    WriteFileBytes(session_.work() + "/intro.bmp", intro);
    WriteFileBytes(session_.work() + "/Two Words.TVQ", SampleTvq());
    WriteFileBytes(session_.work() + "/picture.bmp",
                   Bmp24Bytes(kTvqW, kTvqH, [](int x, int y) { return SampleAt(6, x, y); }));
    ASSERT_TRUE(session_.Start(ZOD_PROGRAM, {c.file}));
    ASSERT_TRUE(OnScreen(0, kMenuRows, kTvqW, kTvqH, [&](int x, int y) {
        return c.shows == 0 ? 0 : SampleAt(c.shows == 1 ? 6 : 3, x, y);
    }));
    // Not the intro: the file replaced it, or, when it failed, nothing did.
    EXPECT_TRUE(CentredPicture(Bmp24Bytes(40, 20, [](int, int) { return 0u; }), 40, 20));
    const std::string errors = session_.Errors();
    if (c.shows == 0)
        EXPECT_NE(errors.find(std::string(c.file) + ":"), std::string::npos) << errors;
    else
        EXPECT_EQ(errors, "");
}

INSTANTIATE_TEST_SUITE_P(Files, OpenedWith,
                         ::testing::Values(ArgumentCase{"Tvq", "SAMPLE.TVQ", 3},
                                           ArgumentCase{"TvqWithABlank", "Two Words.TVQ", 3},
                                           ArgumentCase{"Bitmap", "picture.bmp", 1},
                                           ArgumentCase{"Missing", "gone.tvq", 0}),
                         [](const auto& p) { return std::string(p.param.name); });

// `cmake --install` into a fresh prefix gives a desktop all it needs, and the installed
// launcher, started from the home folder, shows the installed intro picture.
TEST_F(Desktop, InstallLayout) {
    const std::string prefix = session_.home() + "/prefix", share = prefix + "/share";
    ASSERT_EQ(
        system(
            ("cmake --install '" ZOD_BUILD_DIR "' --prefix '" + prefix + "' >/dev/null").c_str()),
        0);
    const std::string launcher = share + "/applications/zod-edozuv.desktop";
    EXPECT_EQ(Shell("desktop-file-validate '" + launcher + "' && echo valid"), "valid\n");

    ASSERT_EQ(system(("update-mime-database '" + share + "/mime'").c_str()), 0);
    for (const char* name : {"a.tvq", "B.TVQ"}) {
        const std::string file = session_.work() + "/" + name;
        WriteFileBytes(file, SampleTvq());
        const std::string info = Shell("XDG_DATA_HOME='" + share + "' XDG_DATA_DIRS=/usr/share " +
                                       "gio info -a standard::content-type '" + file + "'");
        EXPECT_NE(info.find("content-type: image/x-tvq"), std::string::npos) << name << info;
    }

    for (uint32_t size : {16, 32, 48, 64, 128, 256}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const std::string png =
            ReadFileBytes(share + "/icons/hicolor/" + folder + "/apps/zod-edozuv.png");
        ASSERT_GE(png.size(), 24u) << folder;
        // The PNG header's width and height, big-endian.
        EXPECT_EQ(__builtin_bswap32(ReadLe32(BytesAt(png, 16))), size) << folder;
        EXPECT_EQ(__builtin_bswap32(ReadLe32(BytesAt(png, 20))), size) << folder;
    }

    StoreFactor("3");
    const std::string intro = ReadFileBytes(share + "/zod-edozuv/intro.bmp");
    ASSERT_GE(intro.size(), 54u);
    ASSERT_TRUE(session_.Start(
        "/bin/sh",
        {"-c", "cd && PATH='" + prefix + "/bin':$PATH exec gio launch '" + launcher + "'"}));
    EXPECT_TRUE(CentredPicture(intro, int(ReadLe32(BytesAt(intro, 18))),
                               int(ReadLe32(BytesAt(intro, 22)))));
    SendCloseRequest(FindWindow("ZOD Edozuv"));
    EXPECT_TRUE(Shown("ZOD Edozuv", false));
}

} // namespace

// The desktop program in a real X server (Xvfb), driven as a person would with xdotool and
// checked by screenshots and by the files it writes. The program's logic is proven on the
// headless host; these tests prove the desktop host's journeys. Every wait polls for a
// condition and gives up after a bound.
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zod::test;

namespace {

constexpr int kScreenW = 1024;
constexpr int kScreenH = 768;
constexpr int kMenuBar = 18;

// One Xvfb per test program (ctest runs each test in a program of its own), ended on exit.
struct XServer {
    pid_t pid = -1;
    ~XServer() {
        if (pid > 0 && kill(pid, SIGTERM) == 0)
            waitpid(pid, nullptr, 0);
    }
    bool Ensure() {
        int fds[2];
        if (pid > 0 || pipe(fds) != 0)
            return pid > 0;
        if ((pid = fork()) == 0) {
            dup2(open("/dev/null", O_WRONLY), 2);
            execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-screen", "0",
                   "1024x768x24", "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char number[16] = {};
        pollfd waiting{fds[0], POLLIN, 0};
        bool told = poll(&waiting, 1, 30000) > 0 && read(fds[0], number, 15) > 0;
        close(fds[0]);
        return told && setenv("DISPLAY", (":" + std::to_string(atoi(number))).c_str(), 1) == 0;
    }
} xServer;

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

bool WaitUntil(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// The first visible window with exactly this title, or 0.
unsigned long Window(const std::string& title) {
    return std::stoul("0" + Shell("xdotool search --onlyvisible --name '^" + title + "$'"));
}

::testing::AssertionResult Shown(const std::string& title, bool shown = true) {
    if (WaitUntil([&] { return (Window(title) != 0) == shown; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << title << (shown ? " did not open" : " did not close");
}

void Key(const std::string& keys) {
    Shell("xdotool key --delay 60 " + keys);
}
void Click(int x, int y) {
    Shell("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

// The whole screen, as COLORREF values; empty when it could not be taken.
struct Screenshot {
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const {
        return pixels.empty() ? 0 : pixels[size_t(y * kScreenW + x)];
    }
};

Screenshot TakeScreenshot() {
    Screenshot shot;
    if (Display* display = XOpenDisplay(nullptr)) {
        if (XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, kScreenW, kScreenH,
                                      AllPlanes, ZPixmap)) {
            for (int i = 0; i < kScreenW * kScreenH; ++i) {
                unsigned long p = XGetPixel(image, i % kScreenW, i / kScreenW);
                shot.pixels.push_back(uint32_t((p >> 16 & 255) | (p & 0xFF00) | (p & 255) << 16));
            }
            XDestroyImage(image);
        }
        XCloseDisplay(display);
    }
    return shot;
}

std::string Hex(uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", colour);
    return text;
}

// Waits until the rectangle at (left, top) shows colour(x, y).
::testing::AssertionResult OnScreen(int left, int top, int width, int height,
                                    const std::function<uint32_t(int, int)>& colour) {
    std::string mismatch = "no screenshot";
    auto matches = [&] {
        Screenshot shot = TakeScreenshot();
        for (int y = 0; y < height && !shot.pixels.empty(); ++y)
            for (int x = 0; x < width; ++x)
                if (shot.At(left + x, top + y) != colour(x, y)) {
                    mismatch = "(" + std::to_string(left + x) + ", " + std::to_string(top + y) +
                               ") is " + Hex(shot.At(left + x, top + y));
                    return false;
                }
        return !shot.pixels.empty();
    };
    if (WaitUntil(matches))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << mismatch;
}

int Brightness(uint32_t p) {
    return int(p & 255) + int(p >> 8 & 255) + int(p >> 16 & 255);
}

// The runs [first, last] of indices below n where has(i) holds, joined across gaps up to gap.
std::vector<std::pair<int, int>> Runs(int n, int gap, const std::function<bool(int)>& has) {
    std::vector<std::pair<int, int>> runs;
    for (int i = 0; i < n; ++i)
        if (has(i)) {
            if (runs.empty() || i - runs.back().second > gap)
                runs.emplace_back(i, i);
            runs.back().second = i;
        }
    return runs;
}

// The sample: neighbouring pixels differ, so a shifted or flipped picture does not match.
constexpr int kTvqW = 64, kTvqH = 32;
uint16_t SampleWord(int x, int y) {
    return TvqWord(x % 32, (y + x / 32 * 7) % 32, (x + 2 * y) % 32);
}
auto SampleAt(int factor) {
    return [factor](int x, int y) { return AmplifiedColour(SampleWord(x, y), factor); };
}

constexpr int kIntroW = 200, kIntroH = 100;
uint32_t IntroColour(int x, int y) {
    return uint32_t(40 + x) | uint32_t(100 + y) << 8 | uint32_t(200) << 16;
}

enum Menu { kFile, kExport, kImport, kColour, kHelp };

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(xServer.Ensure()) << "no X server";
        // GTK keeps its recently used files under ~/.local/share.
        for (const std::string& folder :
             {home_, home_ + "/.local", home_ + "/.local/share", home_ + "/.fltk",
              home_ + "/.fltk/fltk.org", config_, config_ + "/zod-edozuv", work_})
            mkdir(folder.c_str(), 0755);
        WriteFileBytes(work_ + "/intro.bmp", Bmp24Bytes(kIntroW, kIntroH, IntroColour));
        std::vector<uint16_t> words;
        for (int y = 0; y < kTvqH; ++y)
            for (int x = 0; x < kTvqW; ++x)
                words.push_back(SampleWord(x, y));
        WriteFileBytes(work_ + "/SAMPLE.TVQ", TvqBytes(kTvqW, kTvqH, words));
        // Away from where dialogs open: without a window manager the keyboard follows the
        // pointer, so dialogs must take it themselves.
        Shell("xdotool mousemove 1019 763");
    }

    void TearDown() override {
        if (pid_ > 0 && kill(pid_, SIGKILL) == 0)
            waitpid(pid_, nullptr, 0);
    }

    // Starts the program, with a settings file unless settings is null.
    void Start(const char* settings) {
        if (settings)
            WriteFileBytes(settings_, settings);
        if ((pid_ = fork()) == 0) {
            setenv("HOME", home_.c_str(), 1);
            setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
            // Leaks inside the X and font libraries are not ours to report.
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            if (chdir(work_.c_str()) == 0)
                execl(ZOD_PROGRAM, ZOD_PROGRAM, static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid_, 0);
    }

    void ExpectCleanExit(const std::string& settings) {
        int status = -1;
        ASSERT_TRUE(WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }))
            << "the program did not end";
        pid_ = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
        EXPECT_EQ(ReadFileBytes(settings_), settings);
    }

    // Answers the open or save dialog by typing a name into it. Typing the start of a name
    // chooses a listed file in either chooser, GTK's by its type-ahead and FLTK's by
    // completing the name, so "S" proves that the filter lists SAMPLE.TVQ.
    void AnswerDialog(const std::string& title, const std::string& name) {
        ASSERT_TRUE(Shown(title));
        Key("End");
        Shell("xdotool type --delay 40 '" + name + "'");
        Key("Return");
        ASSERT_TRUE(Shown(title, false));
    }

    // The exported file holds the sample's pixels at factor 8, read without our code.
    void ExpectExportedSample(const std::string& path) {
        const size_t size = 54 + (kTvqW * 3 + 3) / 4 * 4 * kTvqH;
        ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(path).size() == size; })) << path;
        std::string file = ReadFileBytes(path);
        ASSERT_EQ(file.substr(0, 2), "BM");
        for (int y = 0; y < kTvqH; ++y)
            for (int x = 0; x < kTvqW; ++x)
                ASSERT_EQ(Hex(Bmp24Pixel(file, x, y)), Hex(SampleAt(8)(x, y))) << x << ", " << y;
    }

    // Opens a menu with the mouse and clicks one of its items. The titles are found on screen
    // as runs of text columns, the items as rows of new dark text under the title. Gives the
    // darkest pixel of each item: greyed items are lighter.
    void ClickMenu(Menu title, size_t item, std::vector<int>* darkest = nullptr) {
        Screenshot before = TakeScreenshot(), shot;
        auto titles = Runs(kScreenW, 8, [&](int x) {
            for (int y = 3; y < kMenuBar - 3; ++y)
                if (before.At(x, y) != before.At(kScreenW - 3, kMenuBar / 2))
                    return true;
            return false;
        });
        ASSERT_EQ(titles.size(), 5u) << "menu titles on screen";
        const int left = titles[title].first;
        Click((left + titles[title].second) / 2, kMenuBar / 2);
        std::vector<std::pair<int, int>> lines;
        ASSERT_TRUE(WaitUntil([&] {
            shot = TakeScreenshot();
            // Narrow enough to miss the popup's right edge.
            lines = Runs(200, 1, [&](int y) {
                for (int x = left; x < left + 20; ++x)
                    if (shot.At(x, kMenuBar + y) != before.At(x, kMenuBar + y) &&
                        Brightness(shot.At(x, kMenuBar + y)) < 3 * 150)
                        return true;
                return false;
            });
            auto border = [](std::pair<int, int> line) { return line.second - line.first < 4; };
            lines.erase(std::remove_if(lines.begin(), lines.end(), border), lines.end());
            return lines.size() > item;
        })) << "menu "
            << title << " did not open";
        for (size_t i = 0; darkest && i < lines.size(); ++i) {
            darkest->push_back(3 * 255);
            for (int y = kMenuBar + lines[i].first; y <= kMenuBar + lines[i].second; ++y)
                for (int x = left; x < left + 20; ++x)
                    darkest->back() = std::min(darkest->back(), Brightness(shot.At(x, y)));
        }
        Click(left + 15, kMenuBar + (lines[item].first + lines[item].second) / 2);
    }

    TempDir dir_;
    std::string home_ = dir_.File("home"), config_ = dir_.File("config"), work_ = dir_.File("work");
    std::string settings_ = config_ + "/zod-edozuv/RARURI.ini";
    pid_t pid_ = -1;
};

// The first start, the flow with the mouse in the desktop's (GTK) file chooser, then leaving
// by a close request.
TEST_F(GuiTest, FirstStartMouseFlowAndACloseRequest) {
    Start(nullptr);
    ASSERT_TRUE(Shown("Initialization Error"));
    Key("Return");
    ASSERT_TRUE(Shown("Initialization Error", false));
    EXPECT_EQ(ReadFileBytes(settings_), "3");

    // The window covers the screen, the menu bar is 18 rows above the black client area, and
    // the intro is centred with its 10-pixel shift to the left.
    const unsigned long window = Window("ZOD Edozuv");
    std::string geometry = Shell("xdotool getwindowgeometry " + std::to_string(window));
    EXPECT_NE(geometry.find("Position: 0,0"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 1024x768"), std::string::npos) << geometry;
    ASSERT_TRUE(OnScreen(kScreenW / 2 - kIntroW / 2 - 10, kScreenH / 2 - kIntroH / 2, kIntroW,
                         kIntroH, IntroColour));
    const uint32_t bar = TakeScreenshot().At(kScreenW - 3, 0);
    EXPECT_NE(bar, 0u);
    EXPECT_TRUE(OnScreen(kScreenW - 100, 0, 100, kMenuBar + 1,
                         [bar](int, int y) { return y < kMenuBar ? bar : 0u; }));

    ClickMenu(kImport, 0);
    AnswerDialog("Open", "S");
    EXPECT_TRUE(OnScreen(0, kMenuBar, kTvqW, kTvqH, SampleAt(3)));
    ClickMenu(kColour, 4);
    EXPECT_TRUE(OnScreen(0, kMenuBar, kTvqW, kTvqH, SampleAt(8)));

    std::vector<int> exportItems;
    ClickMenu(kExport, 1, &exportItems);
    ASSERT_EQ(exportItems.size(), 2u);
    EXPECT_GT(exportItems[0], exportItems[1] + 150) << "Export > TVQ File is not greyed";
    ASSERT_TRUE(Shown("Save As"));
    EXPECT_TRUE(OnScreen(0, kMenuBar, kTvqW, kTvqH, SampleAt(8))) << "lost under the dialog";
    AnswerDialog("Save As", "exported");
    ExpectExportedSample(work_ + "/exported.BMP");

    // The view is now the written file, so Level 1 leaves it as it is. Escape does not close
    // the program: the About box comes after both keys have been taken.
    ClickMenu(kColour, 0);
    Key("Escape alt+h a");
    ASSERT_TRUE(Shown("About ZOD Edozuv"));
    EXPECT_TRUE(OnScreen(0, kMenuBar, kTvqW, kTvqH, SampleAt(8)));
    Key("Return");
    ASSERT_TRUE(Shown("About ZOD Edozuv", false));

    // What a window manager sends when the user closes the window: the program leaves without
    // saving the level.
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display);
    ExpectCleanExit("3");
}

// The same flow with Alt and the underlined letters alone, leaving by File > Exit, which saves
// the level. FLTK's own file chooser answers here, as a user without GTK gets it (here by
// turning FLTK's GTK option off).
TEST_F(GuiTest, KeyboardFlowAndFileExit) {
    WriteFileBytes(home_ + "/.fltk/fltk.org/fltk.prefs",
                   "; FLTK preferences file format 1.0\n; vendor: fltk.org\n"
                   "; application: fltk\n[./options]\nFNFCUsesGTK:0\n");
    Start("3");
    ASSERT_TRUE(OnScreen(kScreenW / 2 - kIntroW / 2 - 10, kScreenH / 2 - kIntroH / 2, kIntroW,
                         kIntroH, IntroColour));
    Key("alt+i t");
    AnswerDialog("Open", "S");
    EXPECT_TRUE(OnScreen(0, kMenuBar, kTvqW, kTvqH, SampleAt(3)));
    Key("alt+c 5");
    EXPECT_TRUE(OnScreen(0, kMenuBar, kTvqW, kTvqH, SampleAt(8)));
    Key("alt+e b");
    AnswerDialog("Save As", "exported.bmp");
    ExpectExportedSample(work_ + "/exported.bmp");
    Key("alt+f e");
    ExpectCleanExit("8");
}

} // namespace

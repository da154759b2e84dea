// The desktop program in a real X server (Xvfb), driven as a person would with xdotool and
// checked by screenshots and by the files it writes. Every wait polls for a condition and
// gives up after a bound.
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using zod::test::AmplifiedColour;
using zod::test::Bmp24Bytes;
using zod::test::Bmp24Pixel;
using zod::test::FileExists;
using zod::test::ReadFileBytes;
using zod::test::TempDir;
using zod::test::TvqBytes;
using zod::test::TvqWord;
using zod::test::WriteFileBytes;

namespace {

constexpr int kScreenW = 1024;
constexpr int kScreenH = 768;
constexpr int kMenuBar = 18;
constexpr auto kPatience = std::chrono::seconds(30);

// ---------------------------------------------------------------- the X server

// One Xvfb per test program, started on first use and again whenever it has gone away.
class XServer {
  public:
    ~XServer() { Stop(); }

    bool Ensure() {
        if (pid_ > 0 && Reachable())
            return true;
        Stop();
        return Start() && Reachable();
    }

  private:
    static bool Reachable() {
        Display* display = XOpenDisplay(nullptr);
        if (display)
            XCloseDisplay(display);
        return display != nullptr;
    }

    bool Start() {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            std::string screen = std::to_string(kScreenW) + "x" + std::to_string(kScreenH) + "x24";
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                   "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd waiting{fds[0], POLLIN, 0};
        char c;
        while (poll(&waiting, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
            return false;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        return true;
    }

    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

    pid_t pid_ = -1;
};

XServer xServer;

// ---------------------------------------------------------------- small helpers

std::string Shell(const std::string& command, int* status = nullptr) {
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        int rc = pclose(pipe);
        if (status)
            *status = rc;
    }
    return out;
}

bool WaitUntil(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return condition();
}

std::vector<unsigned long> Windows(const std::string& nameRegex) {
    std::vector<unsigned long> ids;
    std::string out = Shell("xdotool search --onlyvisible --name '" + nameRegex + "'");
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos)
            end = out.size();
        if (end > start)
            ids.push_back(std::stoul(out.substr(start, end - start)));
        start = end + 1;
    }
    return ids;
}

bool WindowShown(const std::string& nameRegex) {
    return !Windows(nameRegex).empty();
}

void Key(const std::string& keys) {
    Shell("xdotool key --delay 60 " + keys);
}
void Type(const std::string& text) {
    Shell("xdotool type --delay 40 '" + text + "'");
}
void Click(int x, int y) {
    Shell("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

// What a window manager sends when the user closes a window.
void SendCloseRequest(unsigned long window) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display);
}

// The whole screen, as COLORREF values.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

Screenshot TakeScreenshot() {
    Screenshot shot;
    std::string ppm = Shell("import -window root -depth 8 ppm:-");
    int maxval = 0, consumed = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &shot.width, &shot.height, &maxval, &consumed) !=
            3 ||
        maxval != 255)
        return Screenshot{};
    size_t offset = size_t(consumed) + 1;
    size_t count = size_t(shot.width) * size_t(shot.height);
    if (ppm.size() < offset + count * 3)
        return Screenshot{};
    shot.pixels.resize(count);
    for (size_t i = 0; i < count; ++i) {
        auto byte = [&](size_t k) { return uint32_t(uint8_t(ppm[offset + i * 3 + k])); };
        shot.pixels[i] = byte(0) | byte(1) << 8 | byte(2) << 16;
    }
    return shot;
}

std::string Hex(uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", colour);
    return text;
}

// Where the rectangle at (left, top) differs from colour(x, y), or "" when it does not.
std::string Mismatch(const Screenshot& shot, int left, int top, int width, int height,
                     const std::function<uint32_t(int, int)>& colour) {
    if (shot.width != kScreenW || shot.height != kScreenH)
        return "no screenshot";
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (shot.At(left + x, top + y) != colour(x, y))
                return "(" + std::to_string(left + x) + ", " + std::to_string(top + y) + ") is " +
                       Hex(shot.At(left + x, top + y)) + ", expected " + Hex(colour(x, y));
    return "";
}

// The red of the stop icon that message boxes show for errors.
int StopRedPixels(const Screenshot& shot) {
    int count = 0;
    for (uint32_t p : shot.pixels)
        count += p == 0x0000CC;
    return count;
}

// ---------------------------------------------------------------- the test image

constexpr int kTvqW = 64;
constexpr int kTvqH = 32;

uint16_t SampleWord(int x, int y) {
    return TvqWord(x % 32, (y + x / 32 * 7) % 32, (x + 2 * y) % 32);
}

uint32_t SampleColour(int x, int y, int factor) {
    return AmplifiedColour(SampleWord(x, y), factor);
}

std::string SampleTvq() {
    std::vector<uint16_t> words;
    for (int y = 0; y < kTvqH; ++y)
        for (int x = 0; x < kTvqW; ++x)
            words.push_back(SampleWord(x, y));
    return TvqBytes(kTvqW, kTvqH, words);
}

constexpr int kIntroW = 200;
constexpr int kIntroH = 100;
uint32_t IntroColour(int x, int y) {
    return uint32_t(40 + x) | uint32_t(100 + y) << 8 | uint32_t(200) << 16;
}

// ---------------------------------------------------------------- the program

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(xServer.Ensure()) << "no X server";
        home_ = dir_.File("home");
        config_ = dir_.File("config");
        work_ = dir_.File("work");
        // GTK keeps its recently used files under ~/.local/share.
        for (const std::string& folder :
             {home_, home_ + "/.local", home_ + "/.local/share", config_, work_})
            mkdir(folder.c_str(), 0755);
        WriteFileBytes(work_ + "/intro.bmp", Bmp24Bytes(kIntroW, kIntroH, IntroColour));
        WriteFileBytes(work_ + "/SAMPLE.TVQ", SampleTvq());
        // Away from where dialogs open: without a window manager the keyboard would follow
        // the pointer, so dialogs must take it themselves.
        Shell("xdotool mousemove " + std::to_string(kScreenW - 5) + " " +
              std::to_string(kScreenH - 5));
    }

    void TearDown() override {
        if (pid_ > 0 && !Exited()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    std::string SettingsFile() const { return config_ + "/zod-edozuv/RARURI.ini"; }
    void WriteSettings(const std::string& content) {
        mkdir((config_ + "/zod-edozuv").c_str(), 0755);
        WriteFileBytes(SettingsFile(), content);
    }

    void Start() {
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(work_.c_str()) != 0)
                _exit(126);
            setenv("HOME", home_.c_str(), 1);
            setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
            // Leaks inside the X and font libraries are not ours to report.
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            execl(ZOD_PROGRAM, ZOD_PROGRAM, static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid_, 0);
    }

    unsigned long MainWindow() {
        unsigned long id = 0;
        WaitUntil([&] {
            auto ids = Windows("^ZOD Edozuv$");
            id = ids.empty() ? 0 : ids.front();
            return id != 0;
        });
        return id;
    }

    // Starts the program with a settings file in place and waits for the intro.
    void StartWith(const std::string& settings) {
        WriteSettings(settings);
        Start();
        ASSERT_NE(MainWindow(), 0u);
        ASSERT_TRUE(WaitUntil([] {
            return Mismatch(TakeScreenshot(), 402, 334, 1, 1,
                            [](int, int) { return IntroColour(0, 0); })
                .empty();
        })) << "no intro picture";
    }

    bool Exited() {
        if (exited_)
            return true;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            exitStatus_ = status;
        }
        return exited_;
    }

    void ExpectCleanExit() {
        ASSERT_TRUE(WaitUntil([this] { return Exited(); })) << "the program did not end";
        EXPECT_TRUE(WIFEXITED(exitStatus_) && WEXITSTATUS(exitStatus_) == 0)
            << "exit status " << exitStatus_;
    }

    // Answers the open or save dialog by typing a name into it. Typing the start of a name
    // chooses a listed file in either chooser, GTK's by its type-ahead and FLTK's by
    // completing the name, so "S" proves that the filter lists SAMPLE.TVQ.
    void AnswerDialog(const std::string& title, const std::string& name) {
        ASSERT_TRUE(WaitUntil([&] { return WindowShown("^" + title + "$"); }))
            << "no " << title << " dialog";
        Key("End");
        Type(name);
        Key("Return");
        ASSERT_TRUE(WaitUntil([&] { return !WindowShown("^" + title + "$"); }))
            << "the " << title << " dialog did not accept " << name;
    }

    void ExpectSampleOnScreen(int factor) {
        std::string mismatch;
        bool shown = WaitUntil([&] {
            mismatch = Mismatch(TakeScreenshot(), 0, kMenuBar, kTvqW, kTvqH,
                                [factor](int x, int y) { return SampleColour(x, y, factor); });
            return mismatch.empty();
        });
        EXPECT_TRUE(shown) << "factor " << factor << ": " << mismatch;
    }

    // The exported file holds the sample's pixels at factor 8, read without our code.
    void ExpectExportedSample(const std::string& path) {
        const size_t stride = (kTvqW * 3 + 3) / 4 * 4;
        ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(path).size() == 54 + stride * kTvqH; }))
            << path << " was not written";
        std::string file = ReadFileBytes(path);
        ASSERT_EQ(file.substr(0, 2), "BM");
        for (int y = 0; y < kTvqH; ++y)
            for (int x = 0; x < kTvqW; ++x)
                ASSERT_EQ(Hex(Bmp24Pixel(file, x, y)), Hex(SampleColour(x, y, 8)))
                    << "pixel " << x << ", " << y;
    }

    // The menu bar's titles, found on screen as runs of text columns.
    std::vector<std::pair<int, int>> MenuTitles() {
        Screenshot shot = TakeScreenshot();
        std::vector<std::pair<int, int>> titles;
        if (shot.width != kScreenW)
            return titles;
        uint32_t background = shot.At(kScreenW - 3, kMenuBar / 2);
        int runStart = -1, lastText = -100;
        for (int x = 0; x < kScreenW; ++x) {
            bool text = false;
            for (int y = 3; y < kMenuBar - 3 && !text; ++y)
                text = shot.At(x, y) != background;
            if (!text)
                continue;
            if (x - lastText > 8) {
                if (runStart >= 0)
                    titles.emplace_back(runStart, lastText);
                runStart = x;
            }
            lastText = x;
        }
        if (runStart >= 0)
            titles.emplace_back(runStart, lastText);
        return titles;
    }

    // Opens the menu with the mouse and clicks its item; items are found on screen as rows
    // of text under the title.
    void ClickMenu(size_t title, size_t item) {
        auto titles = MenuTitles();
        ASSERT_EQ(titles.size(), 5u) << "menu titles on screen";
        Screenshot before = TakeScreenshot();
        const int left = titles[title].first;
        Click((titles[title].first + titles[title].second) / 2, kMenuBar / 2);
        std::vector<std::pair<int, int>> lines;
        ASSERT_TRUE(WaitUntil([&] {
            Screenshot shot = TakeScreenshot();
            if (shot.width != kScreenW)
                return false;
            lines.clear();
            int start = -1;
            for (int y = kMenuBar + 1; y < kMenuBar + 200; ++y) {
                bool text = false;
                // Narrow enough to miss the popup's right edge.
                for (int x = left; x < left + 20 && !text; ++x) {
                    uint32_t p = shot.At(x, y);
                    int sum = int(p & 255) + int(p >> 8 & 255) + int(p >> 16 & 255);
                    text = sum < 3 * 150 && p != before.At(x, y);
                }
                if (text && start < 0)
                    start = y;
                if (!text && start >= 0) {
                    if (y - start >= 5 && y - start <= 16)
                        lines.emplace_back(start, y);
                    start = -1;
                }
            }
            if (lines.size() <= item)
                return false;
            menuDarkness_.clear();
            for (auto [top, bottom] : lines) {
                int darkest = 3 * 255;
                for (int y = top; y < bottom; ++y)
                    for (int x = left; x < left + 20; ++x) {
                        uint32_t p = shot.At(x, y);
                        darkest = std::min(darkest,
                                           int(p & 255) + int(p >> 8 & 255) + int(p >> 16 & 255));
                    }
                menuDarkness_.push_back(darkest);
            }
            return true;
        })) << "menu "
            << title << " did not open";
        Click(left + 15, (lines[item].first + lines[item].second) / 2);
    }

    // The darkest text pixel of each item of the menu opened last: greyed items are lighter.
    std::vector<int> menuDarkness_;

    TempDir dir_;
    std::string home_, config_, work_;
    pid_t pid_ = -1;
    bool exited_ = false;
    int exitStatus_ = 0;
};

enum Menu { kFile, kExport, kImport, kColour, kHelp };

TEST_F(GuiTest, FirstStartFillsTheScreenShowsTheIntroAndCreatesTheSettings) {
    Start();
    ASSERT_TRUE(WaitUntil([] { return WindowShown("^Initialization Error$"); }));
    EXPECT_GT(StopRedPixels(TakeScreenshot()), 100);
    Key("Return");
    ASSERT_TRUE(WaitUntil([] { return !WindowShown("^Initialization Error$"); }));
    EXPECT_EQ(ReadFileBytes(SettingsFile()), "3");

    unsigned long window = MainWindow();
    ASSERT_NE(window, 0u);
    std::string geometry = Shell("xdotool getwindowgeometry " + std::to_string(window));
    EXPECT_NE(geometry.find("Position: 0,0"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 1024x768"), std::string::npos) << geometry;

    // The intro is centred with its 10-pixel shift to the left.
    const int introX = kScreenW / 2 - kIntroW / 2 - 10, introY = kScreenH / 2 - kIntroH / 2;
    std::string mismatch;
    ASSERT_TRUE(WaitUntil([&] {
        mismatch = Mismatch(TakeScreenshot(), introX, introY, kIntroW, kIntroH, IntroColour);
        return mismatch.empty();
    })) << mismatch;
    Screenshot shot = TakeScreenshot();
    auto black = [](int, int) { return 0u; };
    EXPECT_EQ(Mismatch(shot, introX - 1, introY, 1, kIntroH, black), "");
    EXPECT_EQ(Mismatch(shot, introX + kIntroW, introY, 1, kIntroH, black), "");
    EXPECT_EQ(Mismatch(shot, introX, introY - 1, kIntroW, 1, black), "");

    // The menu bar is 18 rows of its own colour above the black client area.
    uint32_t bar = shot.At(kScreenW - 3, 0);
    EXPECT_NE(bar, 0u);
    EXPECT_EQ(Mismatch(shot, kScreenW - 100, 0, 100, kMenuBar, [bar](int, int) { return bar; }),
              "");
    EXPECT_EQ(Mismatch(shot, kScreenW - 100, kMenuBar, 100, 1, black), "");
    EXPECT_EQ(MenuTitles().size(), 5u);

    SendCloseRequest(window);
    ExpectCleanExit();
}

TEST_F(GuiTest, ImportLevelExportAndExitWithTheMouse) {
    StartWith("3");
    ClickMenu(kImport, 0);
    AnswerDialog("Open", "SAMPLE.TVQ");
    ExpectSampleOnScreen(3);

    ClickMenu(kColour, 4);
    ExpectSampleOnScreen(8);

    ClickMenu(kExport, 1);
    ASSERT_EQ(menuDarkness_.size(), 2u);
    EXPECT_GT(menuDarkness_[0], menuDarkness_[1] + 150) << "Export > TVQ File is not greyed";
    // The window keeps its picture while the dialog is open.
    ASSERT_TRUE(WaitUntil([] { return WindowShown("^Save As$"); }));
    ExpectSampleOnScreen(8);
    AnswerDialog("Save As", "exported");
    ExpectExportedSample(work_ + "/exported.BMP");

    // The view is now the written file: a new level repaints it unchanged.
    ClickMenu(kColour, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ExpectSampleOnScreen(8);

    ClickMenu(kFile, 0);
    ExpectCleanExit();
    EXPECT_EQ(ReadFileBytes(SettingsFile()), "2");
}

// The desktop's chooser where GTK is installed, and FLTK's own, which a user gets without
// GTK or by turning FLTK's GTK option off, as done here.
class KeyboardTest : public GuiTest, public ::testing::WithParamInterface<bool> {};

TEST_P(KeyboardTest, TheSameFlowWithAltAndTheUnderlinedLetters) {
    if (!GetParam()) {
        mkdir((home_ + "/.fltk").c_str(), 0755);
        mkdir((home_ + "/.fltk/fltk.org").c_str(), 0755);
        WriteFileBytes(home_ + "/.fltk/fltk.org/fltk.prefs",
                       "; FLTK preferences file format 1.0\n; vendor: fltk.org\n"
                       "; application: fltk\n[./options]\nFNFCUsesGTK:0\n");
    }
    StartWith("3");
    Key("alt+i t");
    AnswerDialog("Open", "S");
    ExpectSampleOnScreen(3);
    Key("alt+c 5");
    ExpectSampleOnScreen(8);
    Key("alt+e b");
    AnswerDialog("Save As", "exported.bmp");
    ExpectExportedSample(work_ + "/exported.bmp");
    Key("alt+f e");
    ExpectCleanExit();
    EXPECT_EQ(ReadFileBytes(SettingsFile()), "8");
}

// (Xlib's "Bool" macro rules out ::testing::Bool.)
INSTANTIATE_TEST_SUITE_P(Choosers, KeyboardTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& choice) {
                             return std::string(choice.param ? "DesktopChooser" : "FltkChooser");
                         });

// Leaving any other way than File > Exit keeps the settings as they were; Escape does not
// close the program at all.
TEST_F(GuiTest, ACloseRequestOrAltF4LeavesWithoutSaving) {
    for (bool altF4 : {false, true}) {
        SCOPED_TRACE(altF4 ? "Alt+F4" : "close request");
        exited_ = false;
        StartWith("6");
        Key("Escape");
        // Still running: the About box comes, without an icon, and Return closes it.
        Key("alt+h a");
        ASSERT_TRUE(WaitUntil([] { return WindowShown("^About ZOD Edozuv$"); }));
        EXPECT_EQ(StopRedPixels(TakeScreenshot()), 0);
        Key("Return");
        ASSERT_TRUE(WaitUntil([] { return !WindowShown("^About ZOD Edozuv$"); }));
        Key("alt+c 5");
        if (altF4)
            Key("alt+F4");
        else
            SendCloseRequest(MainWindow());
        ExpectCleanExit();
        EXPECT_EQ(ReadFileBytes(SettingsFile()), "6");
    }
}

} // namespace

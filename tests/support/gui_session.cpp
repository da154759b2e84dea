#include "gui_session.h"

#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zod::test::gui {

namespace {

struct XServer {
    pid_t pid = -1;
    ~XServer() {
        if (pid > 0 && kill(pid, SIGTERM) == 0)
            waitpid(pid, nullptr, 0);
    }
} xServer, windowManager;

using XConnection = std::unique_ptr<Display, int (*)(Display*)>;
XConnection ConnectToX() {
    // Windows come and go while a test walks the tree (a window manager starting, the
    // program closing): a request about one that is gone then fails, where Xlib's own
    // handler would end the whole test.
    static const XErrorHandler ignored = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    (void)ignored;
    return XConnection(XOpenDisplay(nullptr), XCloseDisplay);
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
    XConnection x = ConnectToX();
    if (!x.get())
        return shot;
    if (XImage* image = XGetImage(x.get(), DefaultRootWindow(x.get()), 0, 0, kScreenW, kScreenH,
                                  AllPlanes, ZPixmap)) {
        for (int i = 0; i < kScreenW * kScreenH; ++i) {
            unsigned long p = XGetPixel(image, i % kScreenW, i / kScreenW);
            shot.pixels.push_back(uint32_t((p >> 16 & 255) | (p & 0xFF00) | (p & 255) << 16));
        }
        XDestroyImage(image);
    }
    return shot;
}

void Click(int x, int y) {
    MovePointer(x, y);
    Shell("xdotool click 1");
}

} // namespace

bool EnsureXServer() {
    int fds[2];
    if (xServer.pid > 0 || pipe(fds) != 0)
        return xServer.pid > 0;
    if ((xServer.pid = fork()) == 0) {
        dup2(open("/dev/null", O_WRONLY), 2);
        const std::string screen =
            std::to_string(kScreenW) + "x" + std::to_string(kScreenH) + "x24";
        execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-screen", "0",
               screen.c_str(), "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char number[16] = {};
    pollfd waiting{fds[0], POLLIN, 0};
    bool told = poll(&waiting, 1, 30000) > 0 && read(fds[0], number, 15) > 0;
    close(fds[0]);
    return told && setenv("DISPLAY", (":" + std::to_string(atoi(number))).c_str(), 1) == 0;
}

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

unsigned long FindWindow(const std::string& title) {
    return std::stoul("0" + Shell("xdotool search --onlyvisible --name '^" + title + "$'"));
}

::testing::AssertionResult Shown(const std::string& title, bool shown) {
    if (WaitUntil([&] { return (FindWindow(title) != 0) == shown; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << title << (shown ? " did not open" : " did not close");
}

void SendCloseRequest(unsigned long window) {
    XConnection x = ConnectToX();
    if (!x.get())
        return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x.get(), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(x.get(), "WM_DELETE_WINDOW", False));
    XSendEvent(x.get(), window, False, NoEventMask, &event);
}

void Key(const std::string& keys) {
    Shell("xdotool key --delay 60 " + keys);
}
void Type(const std::string& text) {
    Shell("xdotool type --delay 40 '" + text + "'");
}
void MovePointer(int x, int y) {
    Shell("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
}
::testing::AssertionResult AnswerDialog(const std::string& title, const std::string& name) {
    if (auto opened = Shown(title); !opened)
        return opened;
    Key("End");
    Type(name);
    Key("Return");
    return Shown(title, false);
}

::testing::AssertionResult OnScreen(int left, int top, int width, int height,
                                    const std::function<uint32_t(int, int)>& colour) {
    std::string mismatch = "no screenshot";
    auto matches = [&] {
        Screenshot shot = TakeScreenshot();
        for (int y = 0; y < height && !shot.pixels.empty(); ++y)
            for (int x = 0; x < width; ++x)
                if (shot.At(left + x, top + y) != colour(x, y)) {
                    char text[64];
                    std::snprintf(text, sizeof text, "(%d, %d) is %06X", left + x, top + y,
                                  shot.At(left + x, top + y));
                    mismatch = text;
                    return false;
                }
        return !shot.pixels.empty();
    };
    if (WaitUntil(matches))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << mismatch;
}

::testing::AssertionResult ClickMenuTitle(int barHeight, size_t titles, size_t title) {
    // The titles are runs of columns with text, gaps of a few columns inside them.
    const Screenshot shot = TakeScreenshot();
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < kScreenW; ++x)
        for (int y = 3; y < barHeight - 3; ++y)
            if (shot.At(x, y) != shot.At(kScreenW - 3, barHeight / 2)) {
                if (runs.empty() || x - runs.back().second > 8)
                    runs.emplace_back(x, x);
                runs.back().second = x;
                break;
            }
    if (runs.size() != titles)
        return ::testing::AssertionFailure() << runs.size() << " menu titles on screen";
    Click((runs[title].first + runs[title].second) / 2, barHeight / 2);
    return ::testing::AssertionSuccess();
}

bool StartWindowManager(const std::string& program) {
    if ((windowManager.pid = fork()) == 0) {
        dup2(open("/dev/null", O_WRONLY), 2);
        execlp(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return WaitUntil(
        [] { return Property(0, "_NET_SUPPORTING_WM_CHECK").rfind("window", 0) == 0; });
}

std::string Property(unsigned long window, const char* name) {
    std::string value =
        Shell("xprop " + (window ? "-id " + std::to_string(window) : "-root") + " " + name);
    const size_t sign = value.find_first_of("=:");
    value = sign == std::string::npos ? "" : value.substr(sign + 1);
    value.erase(0, value.find_first_not_of(' '));
    value.erase(value.find_last_not_of('\n') + 1);
    return value;
}

Session::Session() {
    // FLTK keeps its options under ~/.fltk. Like a new user's, the home has no ~/.local.
    for (const std::string& folder : {home_, home_ + "/.fltk", home_ + "/.fltk/fltk.org", config_,
                                      config_ + "/zod-edozuv", work_})
        mkdir(folder.c_str(), 0755);
}

Session::~Session() {
    if (pid_ > 0 && kill(pid_, SIGKILL) == 0)
        waitpid(pid_, nullptr, 0);
}

bool Session::Start(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string errors = dir_.File("stderr");
    if ((pid_ = fork()) == 0) {
        dup2(open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        setenv("HOME", home_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
        // Leaks inside the X and font libraries are not ours to report.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        if (chdir(work_.c_str()) == 0)
            execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid_ > 0;
}

::testing::AssertionResult Session::Ended(int* status) {
    if (!WaitUntil([&] { return waitpid(pid_, status, WNOHANG) == pid_; }))
        return ::testing::AssertionFailure() << "the program did not end";
    pid_ = -1;
    return ::testing::AssertionSuccess();
}

} // namespace zod::test::gui

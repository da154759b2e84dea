// Times what a user waits for, on a running X server (bench/user_level.sh drives it):
//   screen_probe putimage ROUNDS            one XPutImage of a full-HD view: the floor
//   screen_probe level WINDOW PID ROUNDS    a Level change until the view is redrawn
//   screen_probe startup X Y ROUNDS FLOOR PROGRAM   each started in turn until pixel (X, Y)
//                                                   shows its picture
// Each prints one line: name, median and minimum wall milliseconds, median CPU milliseconds
// of the program measured (0 for the floor).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/select.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

Display* display = nullptr;

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// User plus system CPU time of a process, in milliseconds.
double CpuMs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < text.size()) {
        size_t space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        at = space == std::string::npos ? text.size() : space + 1;
    }
    // After the name: state is field 0, utime field 11, stime field 12.
    if (fields.size() < 13)
        return 0;
    return (std::stod(fields[11]) + std::stod(fields[12])) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

void Report(const char* name, std::vector<double> wall, std::vector<double> cpu) {
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    auto median = [](const std::vector<double>& v) { return v.empty() ? 0.0 : v[v.size() / 2]; };
    std::printf("%s %.2f %.2f %.1f\n", name, median(wall), wall.empty() ? 0.0 : wall[0],
                median(cpu));
}

// Waits for an event of `type` (or any event when type is 0) for at most `ms`.
bool NextEvent(XEvent& event, double ms) {
    const double end = NowMs() + ms;
    while (!XPending(display)) {
        double left = end - NowMs();
        if (left <= 0)
            return false;
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(ConnectionNumber(display), &fds);
        timeval timeout{0, long(std::min(left, 50.0) * 1000)};
        select(ConnectionNumber(display) + 1, &fds, nullptr, nullptr, &timeout);
    }
    XNextEvent(display, &event);
    return true;
}

void Press(KeySym symbol, bool withAlt) {
    KeyCode alt = XKeysymToKeycode(display, XK_Alt_L);
    KeyCode key = XKeysymToKeycode(display, symbol);
    if (withAlt)
        XTestFakeKeyEvent(display, alt, True, 0);
    XTestFakeKeyEvent(display, key, True, 0);
    XTestFakeKeyEvent(display, key, False, 0);
    if (withAlt)
        XTestFakeKeyEvent(display, alt, False, 0);
    XFlush(display);
}

int PutImageFloor(int rounds) {
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display)) - 18;
    Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 18, width, height, 0, 0, 0);
    XSetWindowAttributes attributes;
    attributes.override_redirect = True;
    XChangeWindowAttributes(display, window, CWOverrideRedirect, &attributes);
    XSelectInput(display, window, ExposureMask);
    XMapWindow(display, window);
    XEvent event;
    while (NextEvent(event, 2000) && event.type != Expose) {
    }
    const int depth = DefaultDepth(display, DefaultScreen(display));
    std::vector<uint32_t> pixels(size_t(width) * height);
    uint32_t state = 1;
    for (uint32_t& p : pixels)
        p = (state = state * 1103515245u + 12345u) >> 8;
    XImage* image =
        XCreateImage(display, DefaultVisual(display, DefaultScreen(display)), depth, ZPixmap, 0,
                     reinterpret_cast<char*>(pixels.data()), width, height, 32, width * 4);
    GC gc = DefaultGC(display, DefaultScreen(display));
    std::vector<double> wall;
    for (int i = 0; i < rounds; ++i) {
        pixels[size_t(i)] ^= 0xFFFFFF;
        const double start = NowMs();
        XPutImage(display, window, gc, image, 0, 0, 0, 0, width, height);
        XSync(display, False);
        wall.push_back(NowMs() - start);
    }
    image->data = nullptr;
    XDestroyImage(image);
    XDestroyWindow(display, window);
    Report("putimage", wall, {});
    return 0;
}

// Alt+C opens the Color Amplification menu; a digit picks a level. Alternating between two
// levels makes every round a real change. Timed from the digit to the damage report that
// covers the view's bottom-right pixel, the last the program's repaint reaches.
int LevelChange(Window window, pid_t pid, int rounds) {
    int eventBase = 0, errorBase = 0;
    if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
        std::fprintf(stderr, "no DAMAGE extension\n");
        return 1;
    }
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    const int right = attributes.width - 1, bottom = attributes.height - 1;
    Damage damage = XDamageCreate(display, window, XDamageReportRawRectangles);
    std::vector<double> wall, cpu;
    XEvent event;
    for (int i = 0; i < rounds; ++i) {
        Press(XK_c, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        while (NextEvent(event, 0)) {
        }
        const double cpuBefore = CpuMs(pid);
        const double start = NowMs();
        Press(i % 2 ? XK_2 : XK_5, false);
        bool seen = false;
        while (!seen && NextEvent(event, 30000)) {
            if (event.type != eventBase + XDamageNotify)
                continue;
            const XRectangle& r = reinterpret_cast<XDamageNotifyEvent&>(event).area;
            seen =
                r.x <= right && r.x + r.width > right && r.y <= bottom && r.y + r.height > bottom;
        }
        if (!seen) {
            std::fprintf(stderr, "the view was not redrawn in round %d\n", i + 1);
            return 1;
        }
        wall.push_back(NowMs() - start);
        // Let the program finish whatever it does after the paint, and count it.
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        cpu.push_back(CpuMs(pid) - cpuBefore);
    }
    XDamageDestroy(display, damage);
    Report("level", wall, cpu);
    return 0;
}

unsigned long PixelAt(int x, int y) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    unsigned long pixel = image ? XGetPixel(image, 0, 0) : 0;
    if (image)
        XDestroyImage(image);
    return pixel;
}

pid_t Spawn(char* const* command) {
    pid_t pid = fork();
    if (pid == 0) {
        execvp(command[0], command);
        _exit(127);
    }
    return pid;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

// Starts `command` and waits until (x, y) shows `target`; the wall and CPU milliseconds.
void TimeStart(const char* command, int x, int y, unsigned long target, double& wall, double& cpu) {
    char* argv[] = {const_cast<char*>(command), nullptr};
    const double start = NowMs();
    pid_t pid = Spawn(argv);
    while (PixelAt(x, y) != target && NowMs() - start < 10000)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    wall = NowMs() - start;
    cpu = CpuMs(pid);
    Stop(pid);
}

// A first start of each program learns what (x, y) shows once it has drawn; then the two
// start in turn, so that noise falls on both alike.
int StartUp(int x, int y, int rounds, const char* floor, const char* program) {
    const char* commands[] = {floor, program};
    unsigned long targets[2];
    for (int c = 0; c < 2; ++c) {
        const unsigned long before = PixelAt(x, y);
        char* argv[] = {const_cast<char*>(commands[c]), nullptr};
        pid_t pid = Spawn(argv);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        targets[c] = PixelAt(x, y);
        Stop(pid);
        if (targets[c] == before) {
            std::fprintf(stderr, "%s drew nothing at (%d, %d)\n", commands[c], x, y);
            return 1;
        }
    }
    std::vector<double> wall[2], cpu[2];
    for (int i = 0; i < rounds; ++i)
        for (int c = 0; c < 2; ++c) {
            double w = 0, u = 0;
            TimeStart(commands[c], x, y, targets[c], w, u);
            wall[c].push_back(w);
            cpu[c].push_back(u);
        }
    Report("startup-floor", wall[0], cpu[0]);
    Report("startup", wall[1], cpu[1]);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    display = XOpenDisplay(nullptr);
    if (!display || argc < 3) {
        std::fprintf(stderr, "usage: see the top of screen_probe.cpp (and a DISPLAY)\n");
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "putimage")
        return PutImageFloor(std::atoi(argv[2]));
    if (mode == "level" && argc == 5)
        return LevelChange(std::strtoul(argv[2], nullptr, 0), std::atoi(argv[3]),
                           std::atoi(argv[4]));
    if (mode == "startup" && argc == 7)
        return StartUp(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argv[5],
                       argv[6]);
    std::fprintf(stderr, "unknown mode or arguments\n");
    return 2;
}

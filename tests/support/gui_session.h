// Programs in a real X server (Xvfb), worked as a person would: xdotool presses keys and
// moves the pointer, Xlib takes screenshots and sends what a window manager would, and
// each session runs its program with a throwaway HOME. Every wait polls for a condition and
// gives up after a bound.
#pragma once

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zod::test::gui {

constexpr int kScreenW = 1024;
constexpr int kScreenH = 768;

// Starts this test program's own Xvfb the first time (it ends with the program) and points
// DISPLAY at it. ctest runs each test in a program of its own.
bool EnsureXServer();

// The command's output; its errors are dropped.
std::string Shell(const std::string& command);
bool WaitUntil(const std::function<bool()>& condition);

// Windows by title: the first visible one with exactly this title, or 0.
unsigned long FindWindow(const std::string& title);
::testing::AssertionResult Shown(const std::string& title, bool shown = true);
// What a window manager sends when the user closes the window.
void SendCloseRequest(unsigned long window);

// Starts a window manager for the rest of this test program; true once it has marked the
// root window as a standard one does.
bool StartWindowManager(const std::string& program);
// A window's property (0: the root window's) as xprop prints its value, "not found." when
// it has none.
std::string Property(unsigned long window, const char* name);

// The keyboard (xdotool key names, "alt+f e") and the mouse.
void Key(const std::string& keys);
void Type(const std::string& text);
void MovePointer(int x, int y);
// Types a name into the open or save dialog with this title and presses Return.
::testing::AssertionResult AnswerDialog(const std::string& title, const std::string& name);

// Waits until the rectangle at (left, top) shows colour(x, y).
::testing::AssertionResult OnScreen(int left, int top, int width, int height,
                                    const std::function<uint32_t(int, int)>& colour);

// Clicks title number `title` (from the left) of a menu bar of `titles` titles on the top
// `barHeight` rows of the screen, found as runs of columns with text.
::testing::AssertionResult ClickMenuTitle(int barHeight, size_t titles, size_t title);

// A program run in folders of its own: HOME (with the folder FLTK keeps its settings in),
// XDG_CONFIG_HOME (with the program's folder) and the working folder. A program still running at
// the end is killed.
class Session {
  public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    const std::string& home() const { return home_; }
    const std::string& config() const { return config_; }
    const std::string& work() const { return work_; }

    // Starts the program in the working folder; what it writes to stderr is kept.
    bool Start(const std::string& program, const std::vector<std::string>& arguments = {});
    std::string Errors() const { return ReadFileBytes(dir_.File("stderr")); }
    // Waits for the program to end and gives its wait status.
    ::testing::AssertionResult Ended(int* status);

  private:
    TempDir dir_;
    std::string home_ = dir_.File("home"), config_ = dir_.File("config"), work_ = dir_.File("work");
    pid_t pid_ = -1;
};

} // namespace zod::test::gui

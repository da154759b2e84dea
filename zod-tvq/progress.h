// One line on a terminal that says how far a batch and its current file have got.
#pragma once

#include <chrono>
#include <string>

namespace zod::cli {

class Progress {
  public:
    // A disabled progress line prints nothing, for output that is not a terminal.
    explicit Progress(bool enabled) : enabled_(enabled) {}
    void StartFile(int index, int total, const std::string& name);
    // Redrawn at most a few times a second.
    void Update(double fraction);
    // Removes the line, before a message or at the end.
    void Clear();

  private:
    void Draw(double fraction);

    bool enabled_;
    bool shown_ = false;
    std::string label_;
    std::chrono::steady_clock::time_point lastDrawn_{};
};

} // namespace zod::cli

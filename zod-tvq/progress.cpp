#include "zod-tvq/progress.h"

#include "zod-tvq/messages.h"

#include <cstdio>

namespace zod::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

} // namespace

void Progress::StartFile(int index, int total, const std::string& name) {
    label_ = "[" + std::to_string(index) + "/" + std::to_string(total) + "] " + Printable(name);
    Draw(0);
}

void Progress::Update(double fraction) {
    if (enabled_ && std::chrono::steady_clock::now() - lastDrawn_ >= kRedrawInterval)
        Draw(fraction);
}

void Progress::Draw(double fraction) {
    if (!enabled_)
        return;
    fprintf(stderr, "\r%s %3d%%\033[K", label_.c_str(), int(fraction * 100));
    fflush(stderr);
    shown_ = true;
    lastDrawn_ = std::chrono::steady_clock::now();
}

void Progress::Clear() {
    if (shown_) {
        fputs("\r\033[K", stderr);
        fflush(stderr);
    }
    shown_ = false;
}

} // namespace zod::cli

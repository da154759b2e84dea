// Drawing a TVQ file onto a device context, through the decoder core. Any pixel's colour
// is known without reading the words before it, so a paint reads and sets only what the
// surface can show.
#include "formats/tvq_draw.h"

#include "formats/core/tvq_file.h"

namespace {

// Read whole rows ahead when the words skipped between visible parts are this few bytes;
// farther apart, one read per row costs less than reading what is never shown.
constexpr uint64_t kMaxSkippedBytes = 16 * 1024;

// The visible part of the image, in image coordinates.
struct DrawingPlan {
    int32_t left, top, right, bottom;
};

bool PlanDrawing(const TvqFile& tvq, HDC surface, DrawingPlan& plan) {
    if (TvqImageWords(tvq.extent) == 0 || tvq.wordCount == 0)
        return false;
    RECT clip;
    int region = GetClipBox(surface, &clip);
    if (region == ERROR || region == NULLREGION)
        return false;
    plan.left = clip.left > 0 ? clip.left : 0;
    plan.top = clip.top > 0 ? clip.top : 0;
    plan.right = clip.right < tvq.extent.width ? clip.right : tvq.extent.width;
    plan.bottom = clip.bottom < tvq.extent.height ? clip.bottom : tvq.extent.height;
    return plan.left < plan.right && plan.top < plan.bottom;
}

void DrawPlannedPixels(TvqFile& tvq, const DrawingPlan& plan, HDC surface, int32_t factor) {
    TvqPalette palette;
    MakeTvqPalette(factor, &palette);
    const uint64_t width = uint64_t(tvq.extent.width);
    const uint64_t visible = uint64_t(plan.right - plan.left);
    const bool readAhead = 2 * (width - visible) <= kMaxSkippedBytes;
    const uint64_t lastNeeded = uint64_t(plan.bottom - 1) * width + uint64_t(plan.right) - 1;
    const COLORREF pastEnd = TvqWordColour(palette, tvq.pastEndWord);
    const int32_t left = plan.left; // a local: the drawing's stores cannot change it

    for (int32_t y = plan.top; y < plan.bottom; ++y) {
        const uint64_t rowFirst = uint64_t(y) * width + uint64_t(left);
        const uint64_t held = TvqWordsHeld(rowFirst, visible, tvq.wordCount);
        const uint64_t ahead = readAhead ? lastNeeded + 1 - rowFirst : held;
        const uint8_t* words = held ? TvqWords(&tvq, rowFirst, held, ahead) : nullptr;
        TvqFillRun(
            held, visible,
            [&palette, words](uint64_t i) {
                return TvqWordColour(palette, ReadLe16(words + 2 * i));
            },
            pastEnd,
            [surface, left, y](uint64_t i, COLORREF colour) {
                SetPixel(surface, left + int32_t(i), y, colour);
            });
    }
}

} // namespace

ImageExtent DrawTvqFile(const char* path, HDC surface, int32_t factor) {
    TvqFile tvq;
    if (!OpenTvqFile(path, &tvq))
        return tvq.extent;
    DrawingPlan plan;
    if (PlanDrawing(tvq, surface, plan))
        DrawPlannedPixels(tvq, plan, surface, factor);
    const ImageExtent extent = tvq.extent;
    CloseTvqFile(&tvq);
    return extent;
}

// Is this a TVQ image at all? TVQ has no signature, so a renamed text file reads as a
// header claiming thousands of rows. Every reader that makes the whole picture (the
// converter, the image modules and plugins, the thumbnailers) asks this one rule first;
// the viewer's own Import draws whatever the file gives, as it always has.
//
//   verdict        when
//   TOO_SHORT      the file ends before its size fields
//   NO_SIZE        width or height is zero or less
//   NO_PIXELS      the file holds no pixel word
//   TOO_LARGE      more than 2^28 pixels
//   TOO_SPARSE     more than 2^24 pixels, and fewer than one stored word per 64 of them
#pragma once

#include "common/types.h"

#include <cstddef>
#include <cstdint>

constexpr uint64_t kTvqMaxPixels = kMaxImagePixels;
constexpr uint64_t kTvqAlwaysPlausiblePixels = uint64_t(1) << 24;
constexpr uint64_t kTvqMaxPixelsPerStoredWord = 64;

enum TvqVerdict : int32_t {
    TVQ_PLAUSIBLE = 0,
    TVQ_TOO_SHORT,
    TVQ_NO_SIZE,
    TVQ_NO_PIXELS,
    TVQ_TOO_LARGE,
    TVQ_TOO_SPARSE,
};

// The verdict on a file of `fileBytes` bytes whose header gives `extent` (ignored when the
// file is too short to hold it).
TvqVerdict TvqCheckFile(ImageExtent extent, uint64_t fileBytes);

// Whether `storedWords` words are enough for `extent` to pass the TOO_SPARSE rule; a
// reader that streams asks this as the words arrive.
bool TvqHoldsEnough(ImageExtent extent, uint64_t storedWords);

// --- the words every reader shows (tvq_verdict_text.cpp) -------------------------------
// A short name for scripts: "plausible", "too-short", "no-size", "no-pixels", "too-large",
// "too-sparse".
const char* TvqVerdictName(TvqVerdict verdict);
// What is wrong, for people, in at most `capacity` bytes with the NUL; empty when the file
// is plausible. kTvqVerdictTextCapacity always holds it whole.
constexpr size_t kTvqVerdictTextCapacity = 160;
void TvqVerdictText(TvqVerdict verdict, ImageExtent extent, uint64_t storedWords, char* text,
                    size_t capacity);

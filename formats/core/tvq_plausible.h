// Is this a TVQ image at all? TVQ has no signature, so a renamed text file reads as a
// header claiming thousands of rows. Every reader that makes the whole picture (the
// converter, the image modules and plugins, the thumbnailers) asks this one rule first;
// the viewer's own Import draws whatever the file gives, as it always has.
//
//   verdict        when
//   OTHER_FORMAT   the file starts with a BMP, PNG, JPEG or GIF signature
//   TOO_SHORT      the file ends before its size fields
//   NO_SIZE        width or height is zero or less
//   NO_PIXELS      the file holds no pixel word
//   TOO_LARGE      more pixels than the reader's limit (zod-tvq's --max-pixels, 2^28 by
//                  default and for every reader that takes no limit)
//   TOO_SPARSE     more than 2^24 pixels, and fewer than one stored word per 64 of them
//
// A BMP or PNG file always reads as a size of zero; the signature only names it. The first
// bytes of a JPEG or GIF file can read as a plausible size, so the signature refuses them.
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
    TVQ_OTHER_FORMAT,
};

// The whole rule, from the file's first min(fileBytes, kTvqSizeFieldsBytes) bytes and its
// length.
TvqVerdict TvqCheckStart(const uint8_t* start, uint64_t fileBytes,
                         uint64_t maxPixels = kTvqMaxPixels);

// The rule without the signatures, for a reader that has only the size fields' values
// (`extent` is ignored when the file is too short to hold them).
TvqVerdict TvqCheckFile(ImageExtent extent, uint64_t fileBytes, uint64_t maxPixels = kTvqMaxPixels);

// "BMP", "PNG", "JPEG" or "GIF" when a file's first `count` bytes begin with that format's
// signature, else nullptr.
const char* TvqOtherFormat(const uint8_t* start, size_t count);

// Whether a picture of `extent` is within `maxPixels`: the TOO_LARGE rule, which zod-tvq
// applies to the pictures it encodes as well.
bool TvqWithinLimit(ImageExtent extent, uint64_t maxPixels);

// Whether `storedWords` words are enough for `extent` to pass the TOO_SPARSE rule; a
// reader that streams asks this as the words arrive.
bool TvqHoldsEnough(ImageExtent extent, uint64_t storedWords);

// --- the words every reader shows (tvq_verdict_text.cpp) -------------------------------
// A short name for scripts: "plausible", "too-short", "no-size", "no-pixels", "too-large",
// "too-sparse", "other-format".
const char* TvqVerdictName(TvqVerdict verdict);
// What is wrong with the file TvqCheckStart judged, for people, in at most `capacity`
// bytes with the NUL; empty when it is plausible. kTvqVerdictTextCapacity always holds it.
constexpr size_t kTvqVerdictTextCapacity = 160;
void TvqVerdictText(TvqVerdict verdict, const uint8_t* start, uint64_t fileBytes,
                    uint64_t maxPixels, char* text, size_t capacity);
// TOO_LARGE's words, for any picture of `extent` over the limit: a TVQ file's, or one
// that zod-tvq would encode.
void TvqLimitText(ImageExtent extent, uint64_t maxPixels, char* text, size_t capacity);
// Why a picture of width x height cannot become a TVQ file: a side longer than the header
// holds, or more pixels than `maxPixels`; empty when it can.
void TvqPictureText(uint64_t width, uint64_t height, uint64_t maxPixels, char* text,
                    size_t capacity);

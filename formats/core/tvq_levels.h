// The Color Amplification menu's Levels, the one table of them: the viewer's menu, zod-tvq's
// --level and its help, and the web page all read it.
//
//   Level   1  2  3  4  5
//   factor  2  3  4  6  8
//
// Level 5 is the only one at which a channel's 32 values reach near the top of 0..255.
#pragma once

#include <cstdint>

constexpr int kTvqLevelCount = 5;
constexpr int32_t kTvqLevelFactors[kTvqLevelCount] = {2, 3, 4, 6, 8};

// The factor of Level `level` (1 to 5), or 0 when there is no such Level.
constexpr int32_t TvqLevelFactor(int level) {
    return level >= 1 && level <= kTvqLevelCount ? kTvqLevelFactors[level - 1] : 0;
}

// The Level whose factor is `factor`, or 0 when it is no Level's.
constexpr int TvqLevelOfFactor(int32_t factor) {
    for (int level = 1; level <= kTvqLevelCount; ++level)
        if (kTvqLevelFactors[level - 1] == factor)
            return level;
    return 0;
}

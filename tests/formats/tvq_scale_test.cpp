#include "formats/core/tvq_scale.h"

#include <gtest/gtest.h>

namespace {

// The samples that fall on the held words are the first ones, as many as the sampling rule
// puts below `held`, shrunk or enlarged.
TEST(TvqSamplesHeld, CountsTheSamplesBelowTheHeldWords) {
    for (int32_t src = 1; src <= 40; ++src)
        for (int32_t out = 1; out <= 45; ++out)
            for (int32_t held = 0; held <= src; ++held) {
                int32_t below = 0;
                while (below < out && TvqSampleIndex(below, out, src) < held)
                    ++below;
                ASSERT_EQ(TvqSamplesHeld(held, out, src), below)
                    << src << " " << out << " " << held;
            }
}

} // namespace

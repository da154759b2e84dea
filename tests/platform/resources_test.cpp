// The resources built into the Linux program, from the resource script.
#include "platform/linux/resources.h"

#include <gtest/gtest.h>

#include <utility>

namespace zod {
namespace {

TEST(Resources, IconAndCursorDecodeWithTheirHotSpot) {
    const Image* cursor = FindCursorResource("tvq_cursor");
    for (const Image* image : {FindIconResource("TVQ_BIG"), cursor}) {
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(std::pair(image->width, image->height), std::pair(32, 32));
        ASSERT_EQ(image->argb.size(), 32u * 32u);
        EXPECT_EQ(image->argb[0] >> 24, 0u); // the AND mask made the corner transparent
    }
    // The hot spot is where the crosshair's centre is drawn, opaque white.
    EXPECT_EQ(std::pair(cursor->hotX, cursor->hotY), std::pair(17, 16));
    EXPECT_EQ(cursor->argb[16 * 32 + 17], 0xFFFFFFFFu);
    EXPECT_EQ(FindIconResource("TVQ_CURSOR"), nullptr); // kinds are kept apart
}

} // namespace
} // namespace zod

// The README's Level table is the one the viewer, zod-tvq and its help read.
#include "formats/core/tvq_levels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The numbers of the README's table row that starts with `name`.
std::vector<int32_t> ReadmeRow(const std::string& name) {
    std::ifstream readme(ZOD_SOURCE_DIR "/README.md");
    std::string line;
    while (std::getline(readme, line))
        if (line.rfind("| " + name + " ", 0) == 0) {
            std::replace(line.begin(), line.end(), '|', ' ');
            std::istringstream cells(line.substr(name.size() + 2));
            std::vector<int32_t> row;
            for (int32_t n; cells >> n;)
                row.push_back(n);
            return row;
        }
    return {};
}

TEST(TvqLevels, TheReadmeShowsTheLevelTable) {
    std::vector<int32_t> levels, factors;
    for (int level = 1; level <= kTvqLevelCount; ++level) {
        levels.push_back(level);
        factors.push_back(TvqLevelFactor(level));
        EXPECT_EQ(TvqLevelOfFactor(TvqLevelFactor(level)), level);
    }
    EXPECT_EQ(ReadmeRow("Level"), levels);
    EXPECT_EQ(ReadmeRow("factor"), factors);
}

} // namespace

#include "zod-tvq/cli_rules.h"
#include "zod-tvq/utf8_path.h"
#include "formats/core/tvq_levels.h"

#include <algorithm>
#include <filesystem>

namespace zod::cli {

std::string LevelTable() {
    std::string table;
    for (int level = 1; level <= kTvqLevelCount; ++level)
        table += (level > 1 ? ", " : "") + std::string("Level ") + std::to_string(level) +
                 " = factor " + std::to_string(TvqLevelFactor(level));
    return table;
}

std::string DecimalProblem(std::string* text, int64_t min, uint64_t max) {
    const std::string& given = *text;
    const bool negative = !given.empty() && given[0] == '-';
    const size_t first = !given.empty() && (given[0] == '-' || given[0] == '+') ? 1 : 0;
    bool fits = first < given.size();
    uint64_t magnitude = 0;
    for (size_t i = first; fits && i < given.size(); ++i) {
        const unsigned digit = unsigned(given[i]) - '0';
        fits = digit <= 9 && magnitude <= (UINT64_MAX - digit) / 10;
        magnitude = magnitude * 10 + digit;
    }
    const uint64_t lowest = min < 0 ? uint64_t(-(min + 1)) + 1 : uint64_t(min);
    if (fits && negative)
        fits = min < 0 && magnitude <= lowest;
    else if (fits)
        fits = magnitude <= max && (min < 0 || magnitude >= lowest);
    if (!fits)
        return given + " is not a whole number from " + std::to_string(min) + " to " +
               std::to_string(max) + " in decimal";
    *text = (negative && magnitude ? "-" : "") + std::to_string(magnitude);
    return "";
}

std::string FormatOfName(const std::string& path) {
    std::string extension = PathOf(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* known : {".bmp", ".png", ".tvq"})
        if (extension == known)
            return extension.substr(1);
    return "";
}

std::string ChooseConvertFormat(const std::string& to, const std::string& output,
                                bool outputIsFolder, std::string* format) {
    *format = to.empty() ? "bmp" : to;
    if (output.empty() || outputIsFolder)
        return "";
    if (output == "-")
        return to.empty() ? "-o - writes to standard output and needs --to bmp or --to png" : "";
    const std::string named = FormatOfName(output);
    if (named == "tvq")
        return "-o " + output + ": convert writes BMP or PNG; encode writes TVQ";
    if (named.empty() && to.empty())
        return "-o " + output + ": the name does not say BMP or PNG; end it in .bmp or .png, " +
               "or give --to";
    if (!named.empty() && !to.empty() && named != to)
        return "-o " + output + " names a " + named + " file but --to asks for " + to;
    if (!named.empty())
        *format = named;
    return "";
}

std::string NearestName(const std::string& typed, const std::vector<std::string>& known) {
    // Edits between the two, a swap of neighbours counting as one.
    auto distance = [](const std::string& a, const std::string& b) {
        std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
        for (size_t i = 0; i <= a.size(); ++i)
            for (size_t j = 0; j <= b.size(); ++j) {
                if (i == 0 || j == 0) {
                    d[i][j] = i + j;
                    continue;
                }
                d[i][j] = std::min(
                    {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
                if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                    d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        return d[a.size()][b.size()];
    };
    std::string best;
    size_t bestDistance = 3; // more edits than 2 is another word
    for (const std::string& name : known) {
        const size_t edits = distance(typed, name);
        if (edits < bestDistance && edits * 3 < name.size()) {
            best = name;
            bestDistance = edits;
        }
    }
    return best;
}

} // namespace zod::cli

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

std::string LevelColumns() {
    std::string levels = "  Level  ", factors = "  factor ";
    for (int level = 1; level <= kTvqLevelCount; ++level) {
        const std::string number = std::to_string(level);
        const std::string factor = std::to_string(TvqLevelFactor(level));
        const size_t width = 2 + std::max(number.size(), factor.size()); // right-aligned
        levels += std::string(width - number.size(), ' ') + number;
        factors += std::string(width - factor.size(), ' ') + factor;
    }
    return levels + "\n" + factors + "\n";
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

} // namespace zod::cli

// The command line's rules beyond parsing: the viewer's Levels, numbers in decimal, output
// formats told by a file's name, and the nearest name to a mistyped one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zod::cli {

// The table for --help: "Level 1 = factor 2, ...".
std::string LevelTable();

// Checks that `text` is a whole number in decimal within [min, max], as the settings file
// holds the factor (an optional sign, then digits), and rewrites it without a sign or
// leading zeros (which a C parser would take for octal). Empty when it is; else what the
// option takes.
std::string DecimalProblem(std::string* text, int64_t min, uint64_t max);

// "bmp", "png" or "tvq" from a name's extension in any case, else "".
std::string FormatOfName(const std::string& path);

// The format convert writes, from --to (empty when not given) and the -o given (empty
// when none, "-" for standard output, or a folder). Empty, with `format` set, when they
// agree; else the usage error to print.
std::string ChooseConvertFormat(const std::string& to, const std::string& output,
                                bool outputIsFolder, std::string* format);

// The one of `known` that `typed` is most likely a slip of the fingers for, or "".
std::string NearestName(const std::string& typed, const std::vector<std::string>& known);

} // namespace zod::cli

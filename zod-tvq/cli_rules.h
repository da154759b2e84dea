// The command line's rules beyond parsing: the viewer's Levels, and output formats told
// by a file's name.
#pragma once

#include <cstdint>
#include <string>

namespace zod::cli {

// The viewer's Levels (formats/core/tvq_levels.h) for --help: "Level 1 = factor 2, ...",
// and as two lines of columns, Levels above factors.
std::string LevelTable();
std::string LevelColumns();

// "bmp", "png" or "tvq" from a name's extension in any case, else "".
std::string FormatOfName(const std::string& path);

// The format convert writes, from --to (empty when not given) and the -o given (empty
// when none, "-" for standard output, or a folder). Empty, with `format` set, when they
// agree; else the usage error to print.
std::string ChooseConvertFormat(const std::string& to, const std::string& output,
                                bool outputIsFolder, std::string* format);

} // namespace zod::cli

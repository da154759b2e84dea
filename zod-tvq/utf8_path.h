// File names are UTF-8 inside zod-tvq on every system. A std::filesystem::path made from a
// plain string would read it in Windows' ANSI code page; this one reads UTF-8 everywhere
// (on Linux it is the string as it is).
#pragma once

#include <filesystem>
#include <string>

namespace zod::cli {

inline std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::u8path(utf8);
}

} // namespace zod::cli

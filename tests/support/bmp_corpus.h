// The BMP accept/refuse corpus that tools/make_fuzz_seeds.py writes at build time, for
// checking our LoadImageA and Windows' against the same files.
#pragma once

#include <string>
#include <vector>

namespace zod::test {

struct CorpusBmp {
    std::string path;
    bool windowsAccepts;
    bool windowsDepends; // on the process's width and free memory: either answer is right
    bool weAccept;
    int width, height; // of an accepted file
    std::string why;   // where the two differ
};

// The files listed in `folder`/bmp_expected.txt; a failure is added when it cannot be read.
std::vector<CorpusBmp> ReadBmpCorpus(const std::string& folder);

} // namespace zod::test

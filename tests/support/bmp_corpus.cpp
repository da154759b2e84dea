#include "tests/support/bmp_corpus.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zod::test {

std::vector<CorpusBmp> ReadBmpCorpus(const std::string& folder) {
    std::vector<CorpusBmp> files;
    std::ifstream list(folder + "/bmp_expected.txt");
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        CorpusBmp bmp;
        std::string windows, ours;
        fields >> bmp.path >> windows >> ours >> bmp.width >> bmp.height;
        bmp.path = folder + "/" + bmp.path;
        bmp.windowsAccepts = windows == "accept";
        bmp.windowsDepends = windows == "depends";
        bmp.weAccept = ours == "accept";
        std::getline(fields, bmp.why);
        files.push_back(bmp);
    }
    if (files.empty())
        ADD_FAILURE() << "no BMP corpus in " << folder;
    return files;
}

} // namespace zod::test

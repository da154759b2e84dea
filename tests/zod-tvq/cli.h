// zod-tvq run through the shell as a user runs it, in a work folder of its own with a
// settings folder of its own: `zod-tvq` on the PATH is the program under test.
#pragma once
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zod::test {

struct Result {
    int status;
    std::string out, err;
};

class Cli : public ::testing::Test {
  protected:
    Result Run(const std::string& command) {
        const std::string out = dir.File("stdout"), err = dir.File("stderr");
        const int status = std::system(("cd " + work + " && export PATH=" + bin +
                                        ":$PATH XDG_CONFIG_HOME=" + config + " && (" + command +
                                        ") >" + out + " 2>" + err)
                                           .c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(out),
                ReadFileBytes(err)};
    }
    void Put(const std::string& name, const std::string& bytes) {
        WriteFileBytes(work + "/" + name, bytes);
    }
    std::string Read(const std::string& name) { return ReadFileBytes(work + "/" + name); }

    TempDir dir;
    std::string work = dir.File("work"), bin = dir.File("bin"), config = dir.File("config");
    void SetUp() override {
        mkdir(work.c_str(), 0700);
        mkdir(bin.c_str(), 0700);
        ASSERT_EQ(symlink(ZOD_TVQ_PATH, (bin + "/zod-tvq").c_str()), 0);
    }
};

} // namespace zod::test

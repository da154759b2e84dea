// Runs the real WinMain on the headless host, in a folder of the test's own, with a
// settings file of its own.
#pragma once

#include "platform/hosts/headless.h"
#include "shell/commands.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "tests/support/image_files.h"
#include "tests/support/settings_env.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zod::test {

// One run of the program; a test may make one per row of its table.
class Program {
  public:
    Program();
    ~Program();

    int Run();
    // Stores the factor as a previous run would have left it.
    void StoreSettings(const std::string& content);
    std::string SettingsContent() const { return ReadFileBytes(settings_.File()); }
    std::string Path(const std::string& name) const { return dir_.File(name); }
    void WriteFile(const std::string& name, const std::string& bytes) {
        WriteFileBytes(Path(name), bytes);
    }

    // Steps a user takes when the program waits; each runs when the previous is done.
    void Choose(int command);
    // Import > TVQ File for a name ending in ".tvq", else Import > BMP File.
    void Import(const std::string& name);
    void ExportBmp(const std::string& name);
    void Check(std::function<void()> check) { host.Then(std::move(check)); }

    std::vector<uint32_t> Screen() const;

    HeadlessHost host;

  private:
    TempDir dir_;
    SettingsFolder settings_;
    std::string previousFolder_;
};

class Scenario : public ::testing::Test, public Program {
  protected:
    using Program::Run;
};

} // namespace zod::test

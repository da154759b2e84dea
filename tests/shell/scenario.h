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

// Names parameterised cases after the `name` field of their parameter.
struct CaseName {
    template <typename T> std::string operator()(const ::testing::TestParamInfo<T>& p) const {
        return p.param.name;
    }
};

class Scenario : public ::testing::Test {
  protected:
    Scenario() : Scenario(640, 480) {}
    Scenario(int width, int height);
    ~Scenario() override;

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
    void ImportTvq(const std::string& name);
    void ExportBmp(const std::string& name);
    void Check(std::function<void()> check) { host.Then(std::move(check)); }

    // Client pixel (x, y): the screen under the 18-row menu bar.
    COLORREF Client(int x, int y) const { return ScreenPixel(x, y + kMenuBarRows); }
    std::vector<uint32_t> Screen() const;

    HeadlessHost host;

  private:
    TempDir dir_;
    SettingsFolder settings_;
    std::string previousFolder_;
};

} // namespace zod::test

// Points the settings file at a test's own folder for the lifetime of the object.
#pragma once

#include <optional>
#include <string>

namespace zod::test {

class SettingsFolder {
  public:
    explicit SettingsFolder(const std::string& configHome);
    ~SettingsFolder();
    SettingsFolder(const SettingsFolder&) = delete;
    SettingsFolder& operator=(const SettingsFolder&) = delete;
    // The settings file inside it.
    std::string File() const { return configHome_ + "/zod-edozuv/RARURI.ini"; }

  private:
    std::string configHome_;
    std::optional<std::string> saved_; // XDG_CONFIG_HOME before
};

// While alive, makes every write of this process past `bytesLeft` bytes into a file fail
// with "file too large" (not SIGXFSZ), as a disk that fills up would.
class FullDisk {
  public:
    explicit FullDisk(unsigned long long bytesLeft = 0);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

  private:
    unsigned long long savedLimit_;
    void (*savedHandler_)(int);
};

} // namespace zod::test

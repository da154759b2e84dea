#include "settings_env.h"

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>

namespace zod::test {

SettingsFolder::SettingsFolder(const std::string& configHome) : configHome_(configHome) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME"))
        saved_ = old;
    setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
}

SettingsFolder::~SettingsFolder() {
    if (saved_)
        setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

FullDisk::FullDisk(unsigned long long bytesLeft) {
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    savedLimit_ = limit.rlim_cur;
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytesLeft;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FullDisk::~FullDisk() {
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = savedLimit_;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, savedHandler_);
}

} // namespace zod::test

#include "converter/safe_output.h"
#include "platform/linux/folder_sync.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace zod::tvq {

namespace {

// The temporary file a signal must remove: one output is written at a time.
char pendingPath[PATH_MAX];
volatile sig_atomic_t pendingSet = 0;

void RemovePendingAndDie(int signal) {
    if (pendingSet)
        unlink(pendingPath);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void SetPending(const std::string& path) {
    if (path.size() < sizeof pendingPath) {
        memcpy(pendingPath, path.c_str(), path.size() + 1);
        pendingSet = 1;
    }
}

std::string Folder(const std::string& target) {
    const std::string folder = std::filesystem::path(target).parent_path().string();
    return folder.empty() ? "." : folder;
}

// Places the file without replacing one that is there, atomically. Where the file system
// cannot, a hard link does the same.
bool RenameNoReplace(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (link(from, to) != 0)
        return false;
    unlink(from);
    return true;
}

} // namespace

SafeOutput::~SafeOutput() {
    Abandon();
}

bool SafeOutput::Fail(const std::string& what) {
    error_ = what + ": " + strerror(errno);
    return false;
}

bool SafeOutput::Create(const std::string& target) {
    Abandon();
    target_ = target;
    const std::string stem =
        Folder(target) + "/." + std::filesystem::path(target).filename().string() + ".zod-tvq-";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        snprintf(suffix, sizeof suffix, "%08x", unsigned(random()));
        const std::string name = stem + suffix;
        // Not mkstemp: its 0600 would outlive the rename; the umask decides, as for any file.
        fd_ = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = name;
            SetPending(temporary_);
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    return Fail("cannot create a file in " + Folder(target));
}

bool SafeOutput::AttachStandardOutput() {
    Abandon();
    target_ = "standard output";
    standardOutput_ = true;
    fd_ = STDOUT_FILENO;
    return true;
}

bool SafeOutput::Write(const void* data, size_t size) {
    iovec piece{const_cast<void*>(data), size};
    return WritePieces(&piece, 1);
}

bool SafeOutput::WritePieces(iovec* pieces, int count) {
    while (count > 0) {
        const ssize_t written = writev(fd_, pieces, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Fail("cannot write " + target_);
        }
        // A short write: skip what went out and write the rest.
        size_t done = size_t(written);
        while (count > 0 && done >= pieces->iov_len) {
            done -= pieces->iov_len;
            ++pieces;
            --count;
        }
        if (count > 0) {
            pieces->iov_base = static_cast<char*>(pieces->iov_base) + done;
            pieces->iov_len -= done;
        }
    }
    return true;
}

bool SafeOutput::Commit(bool replace, bool sync) {
    if (standardOutput_) {
        fd_ = -1;
        return true; // every write was checked; a pipe has nothing to flush
    }
    if (sync && fsync(fd_) != 0)
        return Fail("cannot write " + target_);
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        return Fail("cannot write " + target_);
    const bool placed = replace ? rename(temporary_.c_str(), target_.c_str()) == 0
                                : RenameNoReplace(temporary_.c_str(), target_.c_str());
    if (!placed)
        return Fail("cannot write " + target_);
    pendingSet = 0;
    temporary_.clear();
    if (sync)
        SyncFolder(Folder(target_).c_str());
    return true;
}

void SafeOutput::Abandon() {
    if (standardOutput_)
        fd_ = -1;
    standardOutput_ = false;
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        pendingSet = 0;
        temporary_.clear();
    }
}

void InstallOutputSignalHandlers() {
    std::signal(SIGINT, RemovePendingAndDie);
    std::signal(SIGTERM, RemovePendingAndDie);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace zod::tvq

#include "zod-tvq/safe_output.h"

#include "zod-tvq/messages.h"
#include "common/folder_sync.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zod::cli {

namespace {

// The named temporary file a signal must remove: one output is written at a time.
char pendingPath[PATH_MAX];
volatile sig_atomic_t pendingSet = 0;

void RemovePendingAndDie(int signal) {
    if (pendingSet)
        unlink(pendingPath);
    std::signal(signal, SIG_DFL);
    raise(signal); // delivered as the handler returns: the process ends as it would have
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

// A fresh name beside `target` for the file on its way into place, of the same short length
// whatever the target's: a target's name may already be as long as the file system allows.
std::string TemporaryName(const std::string& target) {
    static std::random_device random;
    char name[32];
    snprintf(name, sizeof name, "/.zod-tvq-%08x", unsigned(random()));
    return Folder(target) + name;
}

} // namespace

std::vector<FileIdentity> IdentitiesOf(const std::vector<std::string>& paths) {
    std::vector<FileIdentity> identities;
    struct stat status;
    for (const std::string& path : paths)
        if (stat(path.c_str(), &status) == 0)
            identities.push_back({uint64_t(status.st_dev), uint64_t(status.st_ino)});
    return identities;
}

std::string OutputRefusal(const std::string& target, const std::vector<FileIdentity>& inputs) {
    struct stat status;
    // Following a link: what would be destroyed is what it leads to.
    if (stat(target.c_str(), &status) != 0)
        return "";
    const FileIdentity found{uint64_t(status.st_dev), uint64_t(status.st_ino)};
    return RefusalOf(target, found, S_ISREG(status.st_mode) ? nullptr : FileKind(status.st_mode),
                     inputs);
}

bool SafeOutput::Fail(const std::string& what) {
    error_ = what + ": " + strerror(errno);
    return false;
}

bool SafeOutput::Create(const std::string& target, const std::vector<FileIdentity>* inputs) {
    Abandon();
    target_ = target;
    inputs_ = inputs;
    if (Refused())
        return false;
    const std::string folder = Folder(target);
    // The file is linked through /proc, which unprivileged processes may do.
    if (unnamed_ && access("/proc/self/fd", X_OK) == 0) {
        fd_ = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            return true;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = TemporaryName(target);
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
    return Fail("cannot create a file in " + Printable(folder));
}

void SafeOutput::Attach(int fd) {
    Abandon();
    target_ = "the output";
    fd_ = fd;
    attached_ = true;
}

bool SafeOutput::AttachStandardOutput() {
    Attach(STDOUT_FILENO);
    target_ = "standard output";
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
            return Fail("cannot write " + Printable(target_));
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

// Gives the unnamed file `name`, which must not exist yet.
bool SafeOutput::LinkInto(const std::string& name) {
    char self[64];
    snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
    return linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool SafeOutput::Commit(bool replace, bool sync) {
    if (attached_)
        return true;
    if (sync && fsync(fd_) != 0)
        return Fail("cannot write " + Printable(target_));
    if (Refused())
        return false;
    if (temporary_.empty() && !replace) {
        // Linking fails where anything has appeared at the name meanwhile.
        if (!LinkInto(target_))
            return Fail("cannot write " + Printable(target_));
    } else if (temporary_.empty()) {
        // A link cannot replace, so the file takes a temporary name for the moment of the
        // rename; only then can a signal find something to remove.
        std::string name;
        for (int attempt = 0; attempt < 100 && name.empty(); ++attempt) {
            name = TemporaryName(target_);
            SetPending(name);
            if (!LinkInto(name)) {
                pendingSet = 0;
                if (errno != EEXIST)
                    return Fail("cannot write " + Printable(target_));
                name.clear();
            }
        }
        temporary_ = name;
    }
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        return Fail("cannot write " + Printable(target_));
    if (!temporary_.empty()) {
        const bool placed = replace ? rename(temporary_.c_str(), target_.c_str()) == 0
                                    : RenameNoReplace(temporary_.c_str(), target_.c_str());
        if (!placed)
            return Fail("cannot write " + Printable(target_));
    }
    pendingSet = 0;
    temporary_.clear();
    if (sync)
        SyncFolder(Folder(target_).c_str());
    return true;
}

void SafeOutput::Abandon() {
    if (fd_ >= 0 && !attached_)
        close(fd_);
    attached_ = false;
    fd_ = -1;
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        pendingSet = 0;
        temporary_.clear();
    }
}

void InstallOutputSignalHandlers() {
    for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2,
                             SIGVTALRM, SIGPROF, SIGXCPU}) {
        struct sigaction old {};
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue; // started in the background of a script, say: Ctrl-C is not for us
        struct sigaction action {};
        action.sa_handler = RemovePendingAndDie;
        sigfillset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace zod::cli

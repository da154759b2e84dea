// An output file that appears whole or not at all: written under a temporary name beside
// its target, flushed to the disk, then renamed into place.
#pragma once

#include <cstddef>
#include <string>
#include <sys/uio.h>

namespace zod::tvq {

class SafeOutput {
  public:
    SafeOutput() = default;
    ~SafeOutput(); // an output never committed is removed
    SafeOutput(const SafeOutput&) = delete;
    SafeOutput& operator=(const SafeOutput&) = delete;

    // Creates a fresh temporary file in `target`'s folder.
    bool Create(const std::string& target);
    // Writes to standard output instead, which cannot be atomic: Commit only checks that
    // everything went out, and nothing is ever removed.
    bool AttachStandardOutput();
    bool Write(const void* data, size_t size);
    // Writes the pieces in order (at most IOV_MAX); `pieces` is consumed.
    bool WritePieces(iovec* pieces, int count);
    // Gives the file the target's name, first flushing it to the disk and afterwards its
    // folder when `sync` is set. Without `replace` an existing target is left alone, and
    // that is a failure.
    bool Commit(bool replace, bool sync);
    // Removes the temporary file.
    void Abandon();

    // What went wrong last, for a message.
    const std::string& Error() const { return error_; }

  private:
    bool Fail(const std::string& what);

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    bool standardOutput_ = false;
    std::string error_;
};

// SIGINT and SIGTERM remove the temporary file in progress before the process ends, and a
// size limit fails a write instead of ending the process.
void InstallOutputSignalHandlers();

} // namespace zod::tvq

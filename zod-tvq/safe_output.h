// An output file that appears whole or not at all. On Linux it is written as a file with no
// name in its target's folder (O_TMPFILE) and linked into place once complete, so that even
// a killed process leaves nothing behind; where the file system refuses that, under a
// temporary name beside the target that is removed on failure and on a terminating signal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/uio.h>
#include <vector>

namespace zod::cli {

// A file whatever its name: two names for one file have the same device and inode.
struct FileIdentity {
    uint64_t device;
    uint64_t inode;
};

// The identities of the files at `paths` that exist.
std::vector<FileIdentity> IdentitiesOf(const std::vector<std::string>& paths);

// The refusal for an existing target whose file is `found`: an input, or (with `kind`,
// when it is not a regular file) anything but a regular file. Shared by both systems'
// OutputRefusal, which find the facts each in its own way.
std::string RefusalOf(const std::string& target, const FileIdentity& found, const char* kind,
                      const std::vector<FileIdentity>& inputs);

// Why `target` must not be written, or empty when it may: what is there is not a regular
// file (a device, a named pipe, a folder: replacing it would not write into it but destroy
// it), or it is one of `inputs` under any name.
std::string OutputRefusal(const std::string& target, const std::vector<FileIdentity>& inputs);

class SafeOutput {
  public:
    // Without `unnamed`, always the temporary name beside the target (the fallback).
    explicit SafeOutput(bool unnamed = true) : unnamed_(unnamed) {}
    ~SafeOutput(); // an output never committed is removed
    SafeOutput(const SafeOutput&) = delete;
    SafeOutput& operator=(const SafeOutput&) = delete;

    // Creates the new file in `target`'s folder, unless OutputRefusal refuses the target;
    // Commit asks again just before it places the file, so `inputs` (not copied: a batch
    // may have many) must last until then.
    bool Create(const std::string& target, const std::vector<FileIdentity>* inputs = nullptr);
    // Writes into `fd` instead, which stays the caller's (standard output, a file in
    // memory): there is nothing to place or remove.
    void Attach(int fd);
    // The same for standard output, which cannot be atomic: Commit only checks that
    // everything went out, and nothing is ever removed.
    bool AttachStandardOutput();
    bool Write(const void* data, size_t size);
    // Writes the pieces in order (at most IOV_MAX); `pieces` is consumed.
    bool WritePieces(iovec* pieces, int count);
    // Gives the file the target's name, first flushing it to the disk and afterwards its
    // folder when `sync` is set. Without `replace` an existing target is left alone, and
    // that is a failure.
    bool Commit(bool replace, bool sync);
    // Removes the file.
    void Abandon();

    // What went wrong last, for a message.
    const std::string& Error() const { return error_; }

  private:
    bool Fail(const std::string& what);
    bool Refused();
    bool LinkInto(const std::string& name);

    bool unnamed_;
    bool attached_ = false;
    std::string target_;
    const std::vector<FileIdentity>* inputs_ = nullptr;
    std::string temporary_; // empty while the file has no name
    int fd_ = -1;
    std::string error_;
};

// The signals that end a process by default and that a shell, a terminal or a job control
// sends (hangup, interrupt, quit, termination, a broken pipe, alarms, the user signals)
// remove a named temporary file before the process ends; a signal that was ignored when
// the program started stays ignored. A size limit fails a write instead of ending the
// process.
void InstallOutputSignalHandlers();

} // namespace zod::cli

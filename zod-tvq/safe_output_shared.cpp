// What SafeOutput does alike on every system.
#include "zod-tvq/messages.h"
#include "zod-tvq/safe_output.h"

namespace zod::cli {

std::string RefusalOf(const std::string& target, const FileIdentity& found, const char* kind,
                      const std::vector<FileIdentity>& inputs) {
    const std::string name = Printable(target);
    for (const FileIdentity& input : inputs)
        if (input.device == found.device && input.inode == found.inode)
            return name + " is an input (the same file); not replaced";
    if (kind)
        return name + " is " + kind + ", not a regular file; not replaced";
    return "";
}

SafeOutput::~SafeOutput() {
    Abandon();
}

void SafeOutput::Abandon() {
    if (fd_ >= 0 && !attached_)
        CloseFile(fd_);
    attached_ = false;
    fd_ = -1;
    if (!temporary_.empty()) {
        RemoveTemporary(temporary_);
        temporary_.clear();
    }
}

void SafeOutput::Attach(int fd) {
    Abandon();
    target_ = "the output";
    fd_ = fd;
    attached_ = true;
}

bool SafeOutput::Start(const std::string& target, const std::vector<FileIdentity>* inputs) {
    Abandon();
    target_ = target;
    inputs_ = inputs;
    return !Refused();
}

bool SafeOutput::Refused() {
    static const std::vector<FileIdentity> none;
    const std::string refusal = OutputRefusal(target_, inputs_ ? *inputs_ : none);
    if (!refusal.empty())
        error_ = refusal;
    return !refusal.empty();
}

} // namespace zod::cli

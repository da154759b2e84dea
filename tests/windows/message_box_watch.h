// Answers the message boxes that the code under test shows on this thread, and records
// them. A CBT hook sees each box as it is activated, reads it and presses its OK button,
// so a test never waits for a person.
#pragma once

#include "platform/win32.h"

#include <string>
#include <vector>

namespace zod::test {

struct SeenMessageBox {
    std::string caption;
    std::string text;
    HWND owner;
    bool stopIcon;
    std::vector<std::string> buttons;
};

class MessageBoxWatch {
  public:
    MessageBoxWatch();
    ~MessageBoxWatch();
    MessageBoxWatch(const MessageBoxWatch&) = delete;
    MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

    const std::vector<SeenMessageBox>& seen() const;

  private:
    HHOOK hook_;
};

} // namespace zod::test

#include "scenario.h"

#include <unistd.h>

namespace zod::test {

Program::Program() : settings_(dir_.path() + "/config") {
    // Program-wide state starts as a new process has it.
    ResetProgramState();
    char folder[4096];
    previousFolder_ = getcwd(folder, sizeof folder) ? folder : "/";
    EXPECT_EQ(chdir(dir_.path().c_str()), 0);
}

Program::~Program() {
    EXPECT_EQ(chdir(previousFolder_.c_str()), 0);
    // Every device context, bitmap and memory block acquired was released.
    EXPECT_EQ(LiveResourceHandles(), 0);
}

int Program::Run() {
    return WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, const_cast<char*>(""),
                   SW_SHOWNORMAL);
}

void Program::StoreSettings(const std::string& content) {
    SettingsFilePath(true);
    WriteFileBytes(settings_.File(), content);
}

void Program::Choose(int command) {
    host.Then([this, command] { EXPECT_TRUE(host.ChooseMenuItem(command)) << command; });
}

void Program::Import(const std::string& name) {
    host.QueueDialogAnswer(Path(name));
    const bool tvq = name.size() > 4 && name.compare(name.size() - 4, 4, ".tvq") == 0;
    Choose(tvq ? IDM_IMPORT_TVQ : IDM_IMPORT_BMP);
}

void Program::ExportBmp(const std::string& name) {
    host.QueueDialogAnswer(Path(name));
    Choose(IDM_EXPORT_BMP);
}

std::vector<uint32_t> Program::Screen() const {
    return std::vector<uint32_t>(ScreenPixels(),
                                 ScreenPixels() + size_t(ScreenWidth()) * ScreenHeight());
}

} // namespace zod::test

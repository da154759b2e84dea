#include "shell/state.h"

ViewMode CurrentViewMode;
int32_t AmplificationFactor;
ImageExtent CurrentExtent;
char CurrentPath[kPathCapacity];
char SelectedPath[kPathCapacity];
HINSTANCE InstanceHandle;

void ResetProgramState() {
    CurrentViewMode = VIEW_INTRO;
    AmplificationFactor = kDefaultAmplificationFactor;
    CurrentExtent = ImageExtent{0, 0};
    CurrentPath[0] = SelectedPath[0] = '\0';
    InstanceHandle = nullptr;
}

// The starting values are written once, above; a new process starts from them.
[[maybe_unused]] static const bool kStarted = (ResetProgramState(), true);

#include "common/common.h"

ViewMode CurrentViewMode = VIEW_INTRO;
int32_t AmplificationFactor = kDefaultAmplificationFactor;
ImageExtent CurrentExtent = {0, 0};
char CurrentPath[kPathCapacity] = "";
char SelectedPath[kPathCapacity] = "";
HINSTANCE InstanceHandle = nullptr;

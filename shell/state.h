// Types and program-wide state shared by every part of the program.
#pragma once

#include "common/types.h"
#include "platform/win32.h"

#include <cstdint>

extern ViewMode CurrentViewMode;
extern int32_t AmplificationFactor;
extern ImageExtent CurrentExtent;
extern char CurrentPath[kPathCapacity];
extern char SelectedPath[kPathCapacity];
extern HINSTANCE InstanceHandle;

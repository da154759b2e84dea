// The program-wide state: what the window shows and where it came from. Only shell/ uses it.
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

// Puts the state back as a new process starts with it.
void ResetProgramState();

/* Menu command ids: the one list, read by the resource script (windres and the Linux
   build's table generator) and by the program (shell/commands.h). Plain #defines, so
   that the resource compiler's preprocessor can read them too. */
#pragma once

#define IDM_EXPORT_TVQ 1
#define IDM_EXPORT_BMP 2
#define IDM_ABOUT 3
#define IDM_EXIT 4
#define IDM_IMPORT_TVQ 6
#define IDM_IMPORT_BMP 7
#define IDM_LEVEL1 10
#define IDM_LEVEL2 11
#define IDM_LEVEL3 12
#define IDM_LEVEL4 13
#define IDM_LEVEL5 14

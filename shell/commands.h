// Menu command ids; resources/zod-edozuv.rc uses the same numbers.
#pragma once

enum CommandId {
    IDM_EXPORT_TVQ = 1,
    IDM_EXPORT_BMP = 2,
    IDM_ABOUT = 3,
    IDM_EXIT = 4,
    IDM_IMPORT_TVQ = 6,
    IDM_IMPORT_BMP = 7,
    IDM_LEVEL1 = 10,
    IDM_LEVEL2 = 11,
    IDM_LEVEL3 = 12,
    IDM_LEVEL4 = 13,
    IDM_LEVEL5 = 14,
};

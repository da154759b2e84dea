#include "settings/stored_factor.h"

SettingsPath SettingsFilePath(bool) {
    return SettingsPath{"c:\\windows\\RARURI.ini"};
}

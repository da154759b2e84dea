// The program's resources on Linux: the embedded resource script is read once, and the
// icon and cursor files it names are decoded by gdk-pixbuf's icon loader.
#include "embedded.h"
#include "common/little_endian.h"
#include "pixbuf.h"
#include "resource_script.h"
#include "state.h"

#include <cstdio>
#include <map>
#include <strings.h>

namespace zod {
namespace {

constexpr const char* kScriptName = "zod-edozuv.rc";

struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

struct Resources {
    std::map<std::string, Menu, CaseInsensitiveLess> menus;
    std::map<std::string, Image, CaseInsensitiveLess> icons;
    std::map<std::string, Image, CaseInsensitiveLess> cursors;
};

// An .ico or .cur file: gdk-pixbuf decodes the picture; a cursor's hot spot comes from
// the first directory entry, the one image our files hold.
bool DecodeIconFile(const EmbeddedFile& file, bool cursor, Image& image) {
    if (file.size < 22 || ReadLe16(file.data) != 0 || ReadLe16(file.data + 2) != (cursor ? 2 : 1) ||
        ReadLe16(file.data + 4) == 0)
        return false;
    DecodedPicture picture("ico", file.data, file.size);
    if (!picture)
        return false;
    image.width = picture.Width();
    image.height = picture.Height();
    image.hotX = cursor ? ReadLe16(file.data + 10) : 0;
    image.hotY = cursor ? ReadLe16(file.data + 12) : 0;
    image.argb.resize(size_t(image.width) * size_t(image.height));
    picture.ForEachPixel([&image](size_t i, uint32_t argb) { image.argb[i] = argb; });
    return true;
}

void DecodeAll(const std::vector<ResourceFile>& files, bool cursor,
               std::map<std::string, Image, CaseInsensitiveLess>& into) {
    for (const ResourceFile& entry : files) {
        const EmbeddedFile* file = FindEmbeddedFile(entry.file.c_str());
        Image image;
        if (file && DecodeIconFile(*file, cursor, image))
            into.emplace(entry.name, std::move(image));
        else
            std::fprintf(stderr, "zod-edozuv: cannot decode %s %s from \"%s\"\n",
                         cursor ? "cursor" : "icon", entry.name.c_str(), entry.file.c_str());
    }
}

Resources Load() {
    Resources resources;
    const EmbeddedFile* script = FindEmbeddedFile(kScriptName);
    ResourceScript parsed;
    std::string error;
    if (!script) {
        std::fprintf(stderr, "zod-edozuv: no resource script built in\n");
        return resources;
    }
    std::string_view text(reinterpret_cast<const char*>(script->data), script->size);
    if (!ParseResourceScript(text, parsed, &error)) {
        std::fprintf(stderr, "zod-edozuv: %s: %s\n", kScriptName, error.c_str());
        return resources;
    }
    for (Menu& menu : parsed.menus)
        resources.menus.emplace(menu.name, std::move(menu));
    DecodeAll(parsed.icons, false, resources.icons);
    DecodeAll(parsed.cursors, true, resources.cursors);
    return resources;
}

// Read once, on first use; the entries live until the program ends.
const Resources& Loaded() {
    static const Resources resources = Load();
    return resources;
}

template <typename T>
const T* Find(const std::map<std::string, T, CaseInsensitiveLess>& map, const char* name) {
    if (!name)
        return nullptr;
    auto it = map.find(name);
    return it == map.end() ? nullptr : &it->second;
}

} // namespace

const Menu* FindMenuResource(const char* name) {
    return Find(Loaded().menus, name);
}

const Image* FindIconResource(const char* name) {
    return Find(Loaded().icons, name);
}

const Image* FindCursorResource(const char* name) {
    return Find(Loaded().cursors, name);
}

} // namespace zod

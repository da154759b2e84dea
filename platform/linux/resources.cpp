// The program's resources on Linux: the menus from the tables made from the resource
// script at build time, and the icon and cursor files it names, embedded and decoded by
// gdk-pixbuf's icon loader.
#include "common/little_endian.h"
#include "embedded.h"
#include "pixbuf.h"
#include "resource_tables.h"
#include "state.h"

#include <cstdio>
#include <map>
#include <strings.h>

namespace zod {
namespace {

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

void DecodeAll(const ResourceFileEntry* files, bool cursor,
               std::map<std::string, Image, CaseInsensitiveLess>& into) {
    for (const ResourceFileEntry* entry = files; entry->name; ++entry) {
        const EmbeddedFile* file = FindEmbeddedFile(entry->file);
        Image image;
        if (file && DecodeIconFile(*file, cursor, image))
            into.emplace(entry->name, std::move(image));
        else
            std::fprintf(stderr, "zod-edozuv: cannot decode %s %s from \"%s\"\n",
                         cursor ? "cursor" : "icon", entry->name, entry->file);
    }
}

// The items at `depth` from `entry` on, each with the deeper items that follow it.
const MenuEntry* BuildItems(const MenuEntry* entry, int depth, std::vector<MenuItem>& into) {
    while (entry->depth == depth) {
        MenuItem item;
        item.text = entry->text;
        item.id = entry->id;
        item.grayed = entry->grayed;
        entry = BuildItems(entry + 1, depth + 1, item.items);
        into.push_back(std::move(item));
    }
    return entry;
}

Resources Load() {
    Resources resources;
    for (const MenuTable* table = kMenuTables; table->name; ++table) {
        Menu menu;
        menu.name = table->name;
        BuildItems(table->entries, 0, menu.popups);
        resources.menus.emplace(menu.name, std::move(menu));
    }
    DecodeAll(kIconFiles, false, resources.icons);
    DecodeAll(kCursorFiles, true, resources.cursors);
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

// The resource-script reader. Checked: a refused script leaves the result as it was and
// says which line; an accepted one names a file for every icon and cursor.
#include "fuzz/fuzz_support.h"
#include "platform/linux/resource_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    zod::ResourceScript script;
    script.icons.push_back({"KEPT", "kept.ico"});
    std::string error;
    if (!zod::ParseResourceScript(text, script, &error)) {
        FUZZ_CHECK(script.icons.size() == 1 && script.icons[0].name == "KEPT");
        FUZZ_CHECK(script.menus.empty() && script.cursors.empty());
        FUZZ_CHECK(error.rfind("line ", 0) == 0);
        return 0;
    }
    for (const auto* files : {&script.icons, &script.cursors})
        for (const zod::ResourceFile& f : *files)
            FUZZ_CHECK(!f.name.empty());
    return 0;
}

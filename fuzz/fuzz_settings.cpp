// A settings file of arbitrary bytes through the settings loader.
#include <cstdint>
#include <cstring>
#include <string>

#include "app/config.h"
#include "app/globals.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    globals_reset();
    fuzz_write("config/trialix/trialix.conf", data, size);
    config_xdg_load((fuzz_dir() + "/config").c_str(), nullptr, "/home/examinee/Documents");
    if (strnlen(examdir, sizeof examdir) == sizeof examdir
        || strnlen(examconfig, sizeof examconfig) == sizeof examconfig
        || strnlen(prefix, sizeof prefix) == sizeof prefix
        || strnlen(savedir, sizeof savedir) == sizeof savedir)
        __builtin_trap();
    return 0;
}

// Image references in an item's text, and image headers, from arbitrary
// bytes: the bytes as a text with references, and as an image file.
#include <cstdint>
#include <cstring>
#include <string>

#include "bank/exhibit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text((const char *)data, size);
    const char *c = text.c_str();   // up to the first zero byte, as a record's text
    size_t len = strlen(c);
    size_t last_end = 0;
    for (const exhibit_ref &ref : exhibit_refs(c)) {
        // In order, apart, each a whole element.
        if (ref.start < last_end || ref.end > len || ref.end < ref.start + 6 ||
            strncmp(c + ref.start, "<img", 4) != 0 || strncmp(c + ref.end - 2, "/>", 2) != 0)
            __builtin_trap();
        last_end = ref.end;
        // A path let through stays in the images folder and never climbs.
        std::string parts = "/" + ref.src + "/";
        if (!exhibit_src_problem(ref.src) &&
            (ref.src.compare(0, 7, "images/") != 0 || parts.find("/../") != std::string::npos ||
             ref.src.find('\\') != std::string::npos || ref.src.find(':') != std::string::npos))
            __builtin_trap();
    }
    if (exhibit_strip(c).size() > len)
        __builtin_trap();

    exhibit_info info;
    if (exhibit_header(data, size, &info, nullptr)) {
        if (info.width < 1 || info.height < 1 || info.width > EXHIBIT_MAX_SIDE ||
            info.height > EXHIBIT_MAX_SIDE || (long long)info.width * info.height > EXHIBIT_MAX_PIXELS)
            __builtin_trap();
        exhibit_intact(text, info, nullptr);
    }
    return 0;
}

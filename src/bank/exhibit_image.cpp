// What an image file holds: its format and size from the first bytes,
// and whether its structure is whole, read without decoding it.
#include <cstring>
#include <string>

#include "bank/buffer.h"
#include "bank/error.h"
#include "bank/exhibit.h"

namespace {

const unsigned char png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

unsigned be16(const unsigned char *p)
{
    return (unsigned)p[0] << 8 | p[1];
}

unsigned long be32(const unsigned char *p)
{
    return (unsigned long)p[0] << 24 | (unsigned long)p[1] << 16 | (unsigned long)p[2] << 8 | p[3];
}

bool damaged(GError **error, const char *what)
{
    trialix_set_error(error, TRIALIX_ERROR_DAMAGED, what);
    return false;
}

// A JPEG marker without a length after it.
bool jpeg_standalone(unsigned char m)
{
    return (m >= 0xD0 && m <= 0xD7) || m == 0x01 || m == 0xD8;
}

// A JPEG frame header: its size.
bool jpeg_frame(unsigned char m)
{
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// Walks a JPEG's segments from its start to its first image data (SOS).
// Returns the offset just past the SOS segment, or 0 when the segments
// don't read; *frame gets the offset of the frame header's contents.
size_t jpeg_walk(const unsigned char *d, size_t size, size_t *frame)
{
    size_t i = 2;
    *frame = 0;
    for (;;) {
        if (i >= size || d[i] != 0xFF)
            return 0;
        while (i < size && d[i] == 0xFF)
            i++;
        if (i >= size)
            return 0;
        unsigned char m = d[i++];
        if (jpeg_standalone(m))
            continue;
        if (m == 0xD9 || i + 2 > size)
            return 0;
        size_t len = be16(d + i);
        if (len < 2 || i + len > size)
            return 0;
        if (jpeg_frame(m) && !*frame) {
            if (len < 8)
                return 0;
            *frame = i + 2;
        }
        i += len;
        if (m == 0xDA)
            return *frame ? i : 0;
    }
}

unsigned long crc32_of(const unsigned char *p, size_t len)
{
    static unsigned long table[256];
    static bool made = false;
    if (!made) {
        for (unsigned long n = 0; n < 256; n++) {
            unsigned long c = n;
            for (int k = 0; k < 8; k++)
                c = c & 1 ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        made = true;
    }
    unsigned long c = 0xFFFFFFFFUL;
    for (size_t i = 0; i < len; i++)
        c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFUL;
}

} // namespace

bool exhibit_header(const unsigned char *data, size_t size, exhibit_info *info, GError **error)
{
    unsigned long width = 0, height = 0;
    if (size >= 8 && memcmp(data, png_signature, 8) == 0) {
        info->format = exhibit_format::png;
        if (size < 33 || be32(data + 8) != 13 || memcmp(data + 12, "IHDR", 4) != 0)
            return damaged(error, "damaged PNG image: no image header");
        width = be32(data + 16);
        height = be32(data + 20);
    } else if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        info->format = exhibit_format::jpeg;
        size_t frame;
        if (!jpeg_walk(data, size, &frame))
            return damaged(error, "damaged JPEG image: its header doesn't read");
        height = be16(data + frame + 1);
        width = be16(data + frame + 3);
    } else {
        trialix_set_error(error, TRIALIX_ERROR_FORMAT, "not a PNG or JPEG image");
        return false;
    }
    if (width == 0 || height == 0 || width > 0x7FFFFFFFUL || height > 0x7FFFFFFFUL)
        return damaged(error, "damaged image: its header gives no size");
    std::string size_text = std::to_string(width) + "\xC3\x97" + std::to_string(height) + " pixels";
    if (width > (unsigned long)EXHIBIT_MAX_SIDE || height > (unsigned long)EXHIBIT_MAX_SIDE) {
        trialix_set_error(error, TRIALIX_ERROR_TOO_LARGE,
                          size_text + ", over " + std::to_string(EXHIBIT_MAX_SIDE) + " a side");
        return false;
    }
    if ((long long)width * (long long)height > EXHIBIT_MAX_PIXELS) {
        trialix_set_error(error, TRIALIX_ERROR_TOO_LARGE,
                          size_text + ", over " + std::to_string(EXHIBIT_MAX_PIXELS / 1000000) + " megapixels");
        return false;
    }
    info->width = (int)width;
    info->height = (int)height;
    return true;
}

bool exhibit_read(const char *path, std::string *bytes, exhibit_info *info, GError **error)
{
    if (!read_regular_file(path, bytes, EXHIBIT_MAX_BYTES, error))
        return false;
    // A decoder may make a picture of a cut file without a word.
    return exhibit_header((const unsigned char *)bytes->data(), bytes->size(), info, error) &&
           exhibit_intact(*bytes, *info, error);
}

bool exhibit_intact(const std::string &bytes, const exhibit_info &info, GError **error)
{
    const unsigned char *d = (const unsigned char *)bytes.data();
    size_t size = bytes.size();
    if (info.format == exhibit_format::jpeg) {
        size_t frame;
        size_t data = jpeg_walk(d, size, &frame);
        if (!data)
            return damaged(error, "damaged JPEG image: its header doesn't read");
        // The image data runs to the end marker; a cut file has none.
        for (size_t i = data; i + 1 < size; i++)
            if (d[i] == 0xFF && d[i + 1] == 0xD9)
                return true;
        return damaged(error, "damaged JPEG image: it ends early");
    }
    size_t i = 8;
    bool any_data = false;
    for (int chunk = 0;; chunk++) {
        if (i + 12 > size)
            return damaged(error, "damaged PNG image: it ends early");
        unsigned long len = be32(d + i);
        if (len > 0x7FFFFFFFUL || len > size - i - 12)
            return damaged(error, "damaged PNG image: it ends early");
        const unsigned char *type = d + i + 4;
        if (crc32_of(type, 4 + len) != be32(type + 4 + len))
            return damaged(error, "damaged PNG image: a checksum is wrong");
        if (chunk == 0 && memcmp(type, "IHDR", 4) != 0)
            return damaged(error, "damaged PNG image: no image header");
        any_data = any_data || memcmp(type, "IDAT", 4) == 0;
        if (memcmp(type, "IEND", 4) == 0)
            return any_data ? true : damaged(error, "damaged PNG image: no image data");
        i += 12 + len;
    }
}

#include "bank/exhibit.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "bank/buffer.h"
#include "bank/error.h"
#include "bank/glib_ptr.h"

// ---- References in a text ----

namespace {

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_name_start(char c)
{
    return g_ascii_isalpha(c) || c == '_' || c == ':';
}

bool is_name_char(char c)
{
    return is_name_start(c) || g_ascii_isdigit(c) || c == '-' || c == '.';
}

// Decodes one escape at s (just after its '&') into out; returns the bytes
// it took up to and with its ';', or 0 when it is none of XML's.
size_t decode_escape(const char *s, std::string *out)
{
    static const struct {
        const char *name;
        char c;
    } named[] = {{"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
    for (const auto &n : named) {
        size_t len = strlen(n.name);
        if (strncmp(s, n.name, len) == 0) {
            *out += n.c;
            return len;
        }
    }
    if (s[0] != '#')
        return 0;
    bool hex = s[1] == 'x';
    const char *digits = s + (hex ? 2 : 1);
    gunichar c = 0;
    size_t i = 0;
    for (; g_ascii_isxdigit(digits[i]) && (hex || g_ascii_isdigit(digits[i])); i++) {
        c = c * (hex ? 16 : 10) + (gunichar)(hex ? g_ascii_xdigit_value(digits[i]) : digits[i] - '0');
        if (c > 0x10FFFF)
            return 0;
    }
    if (i == 0 || digits[i] != ';' || c == 0 || !g_unichar_validate(c))
        return 0;
    char utf8[8];
    out->append(utf8, (size_t)g_unichar_to_utf8(c, utf8));
    return (size_t)(digits + i + 1 - s);
}

// Parses the element that begins at text + start ("<img"); false when it
// is malformed.
bool parse_element(const char *text, size_t start, exhibit_ref *ref)
{
    const char *p = text + start + 4;
    bool have_src = false, have_alt = false;
    for (;;) {
        bool spaced = is_space(*p);
        while (is_space(*p))
            p++;
        if (p[0] == '/' && p[1] == '>') {
            ref->start = start;
            ref->end = (size_t)(p + 2 - text);
            return true;
        }
        if (!spaced || !is_name_start(*p))
            return false;
        const char *name = p;
        while (is_name_char(*p))
            p++;
        std::string attr(name, (size_t)(p - name));
        while (is_space(*p))
            p++;
        if (*p++ != '=')
            return false;
        while (is_space(*p))
            p++;
        char quote = *p++;
        if (quote != '"' && quote != '\'')
            return false;
        std::string value;
        while (*p != quote) {
            if (*p == '\0' || *p == '<')
                return false;
            if (*p == '&') {
                size_t used = decode_escape(p + 1, &value);
                if (!used)
                    return false;
                p += 1 + used;
            } else {
                value += *p++;
            }
        }
        p++;
        if (!g_utf8_validate(value.data(), (gssize)value.size(), nullptr))
            return false;
        bool *seen = attr == "src" ? &have_src : attr == "alt" ? &have_alt : nullptr;
        if (seen && *seen)
            return false;
        if (seen) {
            *seen = true;
            (attr == "src" ? ref->src : ref->alt) = value;
        }
    }
}

} // namespace

std::vector<exhibit_ref> exhibit_refs(const char *text)
{
    std::vector<exhibit_ref> refs;
    if (!text)
        return refs;
    for (const char *p = strstr(text, "<img"); p; p = strstr(p, "<img")) {
        exhibit_ref ref;
        if ((is_space(p[4]) || p[4] == '/') && parse_element(text, (size_t)(p - text), &ref)) {
            refs.push_back(ref);
            p = text + ref.end;
        } else {
            p += 4;
        }
    }
    return refs;
}

std::string exhibit_strip(const char *text)
{
    if (!text)
        return std::string();
    std::vector<exhibit_ref> refs = exhibit_refs(text);
    // Each line as left, and whether a reference stood on it.
    std::vector<std::pair<std::string, bool>> lines(1);
    size_t next = 0;
    for (size_t i = 0; text[i];) {
        if (next < refs.size() && i == refs[next].start) {
            lines.back().second = true;
            i = refs[next++].end;
        } else if (text[i] == '\n') {
            lines.emplace_back();
            i++;
        } else {
            lines.back().first += text[i++];
        }
    }
    std::string out;
    bool first = true;
    for (const auto &line : lines) {
        bool blank = line.first.find_first_not_of(" \t\r") == std::string::npos;
        if (line.second && blank)
            continue;
        if (!first)
            out += '\n';
        out += line.first;
        first = false;
    }
    return out;
}

// ---- Where a reference's file is ----

std::optional<std::string> exhibit_src_problem(const std::string &src)
{
    if (src.empty())
        return std::string("no image file named (src=\"") + EXHIBIT_FOLDER + "/NAME.png\")";
    if (src.find('\\') != std::string::npos)
        return std::string("image path with a backslash: write it with '/'");
    if (src[0] == '/' || src.find(':') != std::string::npos)
        return std::string("image path outside the exam folder (absolute)");
    std::vector<std::string> parts(1);
    for (char c : src) {
        if (c == '/')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    bool empty_part = false;
    for (const std::string &part : parts) {
        if (part == "..")
            return std::string("image path outside the exam folder ('..')");
        empty_part = empty_part || part.empty() || part == ".";
    }
    if (parts.size() < 2 || parts[0] != EXHIBIT_FOLDER || empty_part)
        return std::string("image not in the exam's ") + EXHIBIT_FOLDER + " folder (src=\"" +
               EXHIBIT_FOLDER + "/NAME.png\")";
    return std::nullopt;
}

bool exhibit_has_alt(const exhibit_ref &ref)
{
    return ref.alt.find_first_not_of(" \t\r\n") != std::string::npos;
}

namespace {

// The path with every link followed, or none with errno set.
std::optional<std::string> real_path(const char *path)
{
#ifdef G_OS_WIN32
    char *real = _fullpath(nullptr, path, 0);
    if (real && !g_file_test(real, G_FILE_TEST_EXISTS)) {
        free(real);
        errno = ENOENT;
        return std::nullopt;
    }
#else
    char *real = realpath(path, nullptr);
#endif
    if (!real)
        return std::nullopt;
    std::string out(real);
    free(real);
    return out;
}

} // namespace

std::optional<std::string> exhibit_path(const char *exam_dir, const std::string &src, GError **error)
{
    if (std::optional<std::string> problem = exhibit_src_problem(src)) {
        trialix_set_error(error, TRIALIX_ERROR_OUTSIDE, *problem);
        return std::nullopt;
    }
    std::string native = src;
    for (char &c : native)
        if (c == '/')
            c = G_DIR_SEPARATOR;
    gchar_ptr joined(g_build_filename(exam_dir ? exam_dir : ".", native.c_str(), nullptr));
    std::optional<std::string> dir = real_path(exam_dir ? exam_dir : ".");
    std::optional<std::string> file = dir ? real_path(joined.get()) : std::nullopt;
    if (!file) {
        int e = errno;
        trialix_set_error(error, e == ENOENT || e == ENOTDIR ? TRIALIX_ERROR_MISSING : TRIALIX_ERROR_OPEN,
                          g_strerror(e));
        return std::nullopt;
    }
    std::string inside = *dir;
    if (inside.empty() || inside.back() != G_DIR_SEPARATOR)
        inside += G_DIR_SEPARATOR;
    // A link in the folder may lead anywhere; what counts is where it ends.
    if (file->compare(0, inside.size(), inside) != 0) {
        trialix_set_error(error, TRIALIX_ERROR_OUTSIDE,
                          "image path outside the exam folder (through a link)");
        return std::nullopt;
    }
    return file;
}

// ---- What an image file holds ----

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

// Exhibits: images an item's question text or explanation shows under the
// text. A reference is an element of the text,
//     <img src="images/NAME.png" alt="WHAT THE IMAGE SHOWS"/>
// (attribute values quoted, with XML's escapes and character references),
// naming a file under the exam folder's `images` folder. Pango markup has
// no img element, so no text that was valid markup before holds one. This
// is the core's part: finding references, where their files are, and
// whether a file is an image safe to decode. Decoding is the GUI's.
#pragma once

#include <glib.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// One reference: its attributes decoded, and the byte range [start, end)
// of the whole element in the text.
struct exhibit_ref {
    std::string src, alt;
    size_t start = 0, end = 0;
};

// The references of a text, in order. A malformed element ("<img" without
// its "/>", a value without its closing quote, a bad escape, an attribute
// given twice) is no reference and stays in the text, where the markup
// check reports it.
std::vector<exhibit_ref> exhibit_refs(const char *text);

// The text with every reference removed, for showing as markup; a line
// that held nothing but references goes with its line break.
std::string exhibit_strip(const char *text);

// The folder of an exam that references name, and the limits an image
// file is held to before anything decodes it.
constexpr const char *EXHIBIT_FOLDER = "images";
constexpr size_t EXHIBIT_MAX_BYTES = 10u * 1024 * 1024;
constexpr int EXHIBIT_MAX_SIDE = 8192;
constexpr long long EXHIBIT_MAX_PIXELS = 40000000;

enum class exhibit_format { png, jpeg };

// What an image's header says.
struct exhibit_info {
    exhibit_format format = exhibit_format::png;
    int width = 0, height = 0;
};

// What an author must fix in a reference's src, or none: no src, a path
// that is absolute, climbs with "..", has a backslash, or is not under the
// images folder.
std::optional<std::string> exhibit_src_problem(const std::string &src);

// Whether a reference says what its image shows: an alt with more than
// blanks in it.
bool exhibit_has_alt(const exhibit_ref &ref);

// The file that `src` names under the exam folder `exam_dir`, its links
// followed. None with *error set when the reference has a problem
// (TRIALIX_ERROR_OUTSIDE), the file is missing (TRIALIX_ERROR_MISSING), or
// its real path (through a link) lies outside the exam folder
// (TRIALIX_ERROR_OUTSIDE).
std::optional<std::string> exhibit_path(const char *exam_dir, const std::string &src, GError **error);

// Reads the format and size from the first bytes of an image, recognised by
// its content: PNG or JPEG. False with *error set (TRIALIX_ERROR_FORMAT for
// another kind of file, TRIALIX_ERROR_DAMAGED for a header that doesn't
// read, TRIALIX_ERROR_TOO_LARGE over the limits above).
bool exhibit_header(const unsigned char *data, size_t size, exhibit_info *info, GError **error);

// The whole file at `path` (a result of exhibit_path), at most
// EXHIBIT_MAX_BYTES, with its header read and within the limits, and
// intact; false with *error set as the reading, exhibit_header or
// exhibit_intact sets it.
bool exhibit_read(const char *path, std::string *bytes, exhibit_info *info, GError **error);

// Whether an image's bytes hold their format's structure in full: a PNG's
// chunks each with a right checksum, its data and its end; a JPEG's
// segments up to its image data and its end marker. What can be found
// without decoding; false with *error set (TRIALIX_ERROR_DAMAGED).
bool exhibit_intact(const std::string &bytes, const exhibit_info &info, GError **error);

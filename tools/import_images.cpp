// Images of a question bank being imported, kept for the exam when their
// files sit beside the bank.
#include <glib.h>

#include <string>
#include <vector>

#include "bank/exhibit.h"
#include "bank/glib_ptr.h"
#include "tools/import_markup.h"

namespace {

// The path below the bank's folder that `src` names, with '/' between
// its parts, or "" for one that leaves it or is no file of the bank's own
// (a web address, a data URI, an absolute path).
std::string beside_the_bank(std::string src)
{
    // Moodle names the files of a question so.
    const std::string moodle = "@@PLUGINFILE@@/";
    if (src.compare(0, moodle.size(), moodle) == 0)
        src.erase(0, moodle.size());
    gchar_ptr unescaped(g_uri_unescape_string(src.c_str(), nullptr));
    if (!unescaped)
        return "";
    src = unescaped.get();
    if (src.empty() || src[0] == '/' || src.find_first_of(":\\") != std::string::npos)
        return "";
    std::vector<std::string> parts(1);
    for (char c : src) {
        if (c == '/')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    for (const std::string &part : parts)
        if (part.empty() || part == "." || part == "..")
            return "";
    return src;
}

// A file name that any file system takes: letters, digits, '.', '-', '_'.
std::string safe_name(const std::string &path)
{
    std::string name = path.substr(path.rfind('/') + 1);
    for (char &c : name)
        if (!g_ascii_isalnum(c) && c != '.' && c != '-' && c != '_')
            c = '_';
    return name[0] == '.' ? "_" + name : name;
}

} // namespace

std::string image_keeper::reference(const std::string &src, const std::string &alt)
{
    std::string rel = beside_the_bank(src);
    if (rel.empty())
        return "";
    auto kept = names.find(rel);
    std::string name;
    if (kept != names.end()) {
        name = kept->second;
    } else {
        std::string native = rel;
        for (char &c : native)
            if (c == '/')
                c = G_DIR_SEPARATOR;
        gchar_ptr path(g_build_filename(bank_dir.c_str(), native.c_str(), nullptr));
        std::string bytes;
        exhibit_info info;
        if (!exhibit_read(path.get(), &bytes, &info, nullptr))
            return "";
        // Two files of one name from different folders keep both.
        name = safe_name(rel);
        for (int n = 2; files.count(name); n++)
            name = std::to_string(n) + "-" + safe_name(rel);
        names[rel] = name;
        files[name] = std::move(bytes);
    }
    // A reference needs words for the image: its name when the bank gives none.
    std::string words = alt.empty() ? "Image " + name : alt;
    gchar_ptr src_text(g_markup_escape_text((std::string(EXHIBIT_FOLDER) + "/" + name).c_str(), -1));
    gchar_ptr alt_text(g_markup_escape_text(words.c_str(), -1));
    return std::string("<img src=\"") + src_text.get() + "\" alt=\"" + alt_text.get() + "\"/>";
}

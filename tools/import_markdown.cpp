// Markdown as GIFT authors write it: paragraphs, headings, bullet lists,
// code, emphasis, links and images.
#include <glib.h>

#include <cstring>
#include <string>

#include "tools/import_markup.h"

namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_word(char c)
{
    return g_ascii_isalnum(c) || (unsigned char)c >= 0x80;
}

// Where a run of exactly n c's that can close emphasis starts, at or after
// s[from], or npos.
size_t md_closing(const std::string &s, char c, size_t n, size_t from)
{
    for (size_t k = from; k < s.size(); k++) {
        if (s[k] == '\\') {
            k++;
            continue;
        }
        if (s[k] != c)
            continue;
        size_t r = 1;
        while (k + r < s.size() && s[k + r] == c)
            r++;
        bool after_ok = c != '_' || k + r >= s.size() || !is_word(s[k + r]);
        if (r == n && !is_blank(s[k - 1]) && after_ok)
            return k;
        k += r - 1;
    }
    return std::string::npos;
}

// One search that md_inline repeats at ever later positions of its text.
// The last answer holds until the search passes it, so marks that never
// close don't make every one of them search to the end again.
struct forward_search {
    bool done = false;
    size_t from = 0, found = 0;

    template <typename Search> size_t at(size_t pos, Search search)
    {
        if (!done || pos < from || (found != std::string::npos && found < pos)) {
            found = search(pos);
            from = pos;
            done = true;
        }
        return found;
    }
};

// The text whose inline marks md_inline turns into markup.
struct md_text {
    const std::string &s;
    int *images;
    forward_search backtick, link_middle, link_end;
    forward_search closing[2][2];   // '*' or '_', one or two of them
};

// Where the emphasis opened by the n delimiters at s[i] closes before `to`,
// or npos.
size_t md_closing(md_text &t, size_t i, size_t n, size_t to)
{
    char c = t.s[i];
    size_t k = t.closing[c == '_'][n - 1].at(i + n, [&](size_t pos) { return md_closing(t.s, c, n, pos); });
    return k != std::string::npos && k + n <= to ? k : std::string::npos;
}

// s[from..to) with its inline marks as markup.
std::string md_inline(md_text &t, size_t from, size_t to)
{
    const std::string &s = t.s;
    std::string out;
    for (size_t i = from; i < to;) {
        char c = s[i];
        if (c == '\\' && i + 1 < to && g_ascii_ispunct(s[i + 1])) {
            out += escape_markup(s.substr(i + 1, 1));
            i += 2;
            continue;
        }
        if (c == '`') {
            size_t end = t.backtick.at(i + 1, [&](size_t pos) { return s.find('`', pos); });
            if (end != std::string::npos && end < to) {
                out += "<tt>" + escape_markup(s.substr(i + 1, end - i - 1)) + "</tt>";
                i = end + 1;
                continue;
            }
        }
        bool image = c == '!' && i + 1 < to && s[i + 1] == '[';
        if (c == '[' || image) {
            size_t open = image ? i + 1 : i;
            size_t close = t.link_middle.at(open, [&](size_t pos) { return s.find("](", pos); });
            size_t end = close == std::string::npos
                             ? close
                             : t.link_end.at(close + 2, [&](size_t pos) { return s.find(')', pos); });
            if (end != std::string::npos && end < to) {
                if (image) {
                    std::string alt = trim(s.substr(open + 1, close - open - 1));
                    out += alt.empty() ? "[image]" : "[image: " + escape_markup(alt) + "]";
                    if (t.images)
                        ++*t.images;
                } else {
                    out += md_inline(t, open + 1, close);
                }
                i = end + 1;
                continue;
            }
        }
        if (c == '*' || c == '_') {
            size_t n = 1;
            while (i + n < to && s[i + n] == c)
                n++;
            bool opens = n <= 2 && i + n < to && !is_blank(s[i + n]) && (c == '*' || i == from || !is_word(s[i - 1]));
            size_t end = opens ? md_closing(t, i, n, to) : std::string::npos;
            if (end != std::string::npos) {
                const char *tag = n == 2 ? "b" : "i";
                out += std::string("<") + tag + ">" + md_inline(t, i + n, end) + "</" + tag + ">";
                i = end + n;
            } else {
                out.append(n, c);
                i += n;
            }
            continue;
        }
        size_t n = (size_t)(g_utf8_next_char(s.c_str() + i) - (s.c_str() + i));
        out += escape_markup(s.substr(i, n));
        i += n;
    }
    return out;
}

// The whole of s with its inline marks as markup.
std::string md_inline(const std::string &s, int *images)
{
    md_text t{s, images, {}, {}, {}, {}};
    return md_inline(t, 0, s.size());
}

} // namespace

std::string markdown_to_markup(const std::string &s, int *images)
{
    std::string out, para, code;
    int last = 0;
    bool in_code = false;
    auto add_block = [&](const std::string &markup, int level) {
        if (!out.empty())
            out += (level == 2 || last == 2) ? "\n\n" : "\n";
        out += markup;
        last = level;
    };
    auto end_para = [&] {
        if (!para.empty())
            add_block(md_inline(para, images), 2);
        para.clear();
    };
    gchar **lines = g_strsplit(s.c_str(), "\n", -1);
    for (gchar **l = lines; *l; l++) {
        std::string line = *l, t = trim(line);
        if (g_str_has_prefix(t.c_str(), "```")) {
            end_para();
            if (in_code) {
                if (!code.empty() && code.back() == '\n')
                    code.pop_back();
                add_block("<tt>" + escape_markup(code) + "</tt>", 2);
                code.clear();
            }
            in_code = !in_code;
            continue;
        }
        if (in_code) {
            code += line + "\n";
            continue;
        }
        size_t hashes = t.find_first_not_of('#');
        if (t.empty()) {
            end_para();
        } else if (hashes >= 1 && hashes <= 6 && hashes < t.size() && t[hashes] == ' ') {
            end_para();
            std::string h = trim(t.substr(hashes));
            add_block("<b>" + md_inline(h, images) + "</b>", 2);
        } else if (t.size() > 2 && strchr("-*+", t[0]) && t[1] == ' ') {
            end_para();
            std::string item = trim(t.substr(2));
            add_block("\u2022 " + md_inline(item, images), 1);
        } else {
            if (t[0] == '>')
                t = trim(t.substr(1));
            bool hard = line.size() >= 2 && line.compare(line.size() - 2, 2, "  ") == 0;
            para += t + (hard ? "\n" : " ");
        }
    }
    g_strfreev(lines);
    if (in_code && !code.empty())
        add_block("<tt>" + escape_markup(code) + "</tt>", 2);
    end_para();
    return trim(out);
}


// The markup checks of the bank against Pango itself: every text of a
// corpus of elements, attribute values, entities, nesting errors and the
// demo exams' lines is valid for both or for neither, and shows the same
// plain text.
#include <gtest/gtest.h>

#include <glib.h>
#include <pango/pango.h>

#include <string>
#include <vector>

#include "bank/markup.h"
#include "test_util.h"

namespace {

// Values tried on every span attribute: each is right for some attribute
// and wrong for others, and most sit on an edge of a syntax.
const char *const VALUES[] = {
    "", " ", "0", "-0", "1", "+1", " 5", "5 ", "-1", "4", "7", "99", "1.5", "1024", "1025",
    "-1025", "2147483647", "2147483648", "-2147483649", "0x10", "1e3",
    "12pt", "-5pt", "0pt", "1pt", "1.1pt", "0.0005pt", "0.001pt", "2097151.9pt", "2097152pt",
    "1e400pt", "nanpt", "infpt", "0x10pt", "12 pt", "5PT", "10px",
    "50%", "0%", "100%", "101%", "1.5%", "inf%", "nan%", "1e-400%", " 50%", "50 %",
    "65535", "65536",
    "xx-small", "x-small", "small", "medium", "large", "x-large", "xx-large", "smaller",
    "larger", "Large",
    "normal", "Normal", "oblique", "italic", "ITALIC", "bold", "Bold", "semi-bold", "semibold",
    "ultra-black", "regular", "book", "small-caps", "smallcaps", "All-Small-Caps",
    "allsmallcaps", "title-caps", "condensed", "ultra-condensed", "ultracondensed", "Expanded",
    "none", "single", "double", "low", "error", "single-line", "error-line", "Single",
    "true", "false", "yes", "no", "t", "f", "y", "n", "True", "TRUE",
    "south", "east", "north", "west", "auto", "South",
    "natural", "strong", "line",
    "lowercase", "uppercase", "capitalize",
    "word", "sentence",
    "superscript", "subscript",
    "spaces", "line-breaks", "ignorables", "spaces|ignorables", "spaces | line-breaks",
    "spaces|", "|", "1|2", "Spaces",
    "red", "Red", "RED", "light blue", " red", "red ", "r e d", "LightGoldenrodYellow",
    "grey0", "gray100", "grey101", "grey050", "orange4", "orange5", "antiquewhite0",
    "debianred", "crimson", "rebeccapurple", "transparent", "webgray",
    "#f00", "#f008", "#ff0000", "#FF0000", "#ff000080", "#fff000000", "#ffff00000000",
    "#ffff0000ffff0000", "#ff00", "#gg0000", "#", "# ff0000",
    "Sans 12", "Sans Bold 99999", "Monospace 12px", "en", "liga=0",
};

const char *const ATTRIBUTES[] = {
    "font", "font_desc", "font_family", "face", "size", "font_size", "style", "font_style",
    "weight", "font_weight", "variant", "font_variant", "stretch", "font_stretch",
    "foreground", "fgcolor", "color", "background", "bgcolor", "alpha", "fgalpha", "bgalpha",
    "underline", "underline_color", "overline", "overline_color", "strikethrough",
    "strikethrough_color", "rise", "letter_spacing", "lang", "fallback", "gravity",
    "gravity_hint", "font_features", "allow_breaks", "insert_hyphens", "show", "line_height",
    "text_transform", "segment", "baseline_shift", "font_scale",
    "fontfeatures", "Size", "href",
};

const char *const HAND_WRITTEN[] = {
    "", "plain", "a & b", "a &amp; b", "&lt;&gt;&quot;&apos;", "&#65;&#x42;", "&#0;", "&#xD800;",
    "&nbsp;", "&#1114112;", "&", "a < b", "a > b", "x]]>y", "<![CDATA[a<b]]>", "<!-- c -->x",
    "<?pi x?>y", "<!DOCTYPE x>y", "\xff\xfe", "caf\xc3\xa9", "<b>x</b>", "<b>x", "x</b>",
    "<b><i>x</b></i>", "<b/>", "<B>x</B>", "<foo>x</foo>", "<b a=\"1\">x</b>",
    "<markup>x</markup>", "  <markup>x</markup>", "<markup>a</markup>b", "</markup>x",
    "<markup a=\"1\">x</markup>", "<span>x</span>", "<span size=\"10\" size=\"11\">x</span>",
    "<span color=\"red\" fgcolor=\"blue\">x</span>", "<span face=\"a\" font_family=\"b\">x</span>",
    "<span size='12pt'>x</span>", "<span size=12>x</span>", "<span size=\"1\"2\">x</span>",
    "<span\nsize=\"12pt\">x</span>", "<span size=\"&#49;0\">x</span>",
    "<b><big><big>Result</big></big></b>", "<tt>a\tb\nc</tt>", "<sub>2</sub><sup>3</sup>",
    "<span>a<span>b</span>c</span>", "<s><u><small>x</small></u></s>",
};

std::vector<std::string> corpus()
{
    std::vector<std::string> texts(std::begin(HAND_WRITTEN), std::end(HAND_WRITTEN));
    for (const char *a : ATTRIBUTES)
        for (const char *v : VALUES)
            texts.push_back(std::string("<span ") + a + "=\"" + v + "\">x</span>");
    for (const char *e : {"b", "big", "i", "s", "sub", "sup", "small", "tt", "u", "markup", "span"}) {
        std::string open = std::string("<") + e + ">", close = std::string("</") + e + ">";
        texts.push_back(open + "a &amp; b" + close);
        texts.push_back(open + "x");
        texts.push_back(open + open + "x" + close + close);
        texts.push_back(std::string("<") + e + " weight=\"bold\">x" + close);
    }
    // Every line of the demo exams, and each file whole.
    for (const char *exam : {"geography", "git-basics", "linux-basics", "networking-basics"}) {
        std::string dir = std::string(TRIALIX_EXAMPLES) + G_DIR_SEPARATOR_S + exam;
        GDir *d = g_dir_open(dir.c_str(), 0, nullptr);
        if (!d) {
            ADD_FAILURE() << "no exam at " << dir;
        }
        while (const char *name = d ? g_dir_read_name(d) : nullptr) {
            gchar *contents = nullptr;
            std::string path = dir + G_DIR_SEPARATOR_S + name;
            if (!g_file_get_contents(path.c_str(), &contents, nullptr, nullptr))
                continue;
            texts.push_back(contents);
            gchar **lines = g_strsplit(contents, "\n", -1);
            for (gchar **l = lines; *l; ++l)
                texts.push_back(*l);
            g_strfreev(lines);
            g_free(contents);
        }
        if (d) {
            g_dir_close(d);
        }
    }
    return texts;
}

TEST(MarkupPango, CoreAgreesWithPangoOnEveryText)
{
    std::vector<std::string> texts = corpus();
    ASSERT_GT(texts.size(), 2000u);
    int disagreements = 0;
    for (const std::string &t : texts) {
        GError *error = nullptr;
        gchar *pango_plain = nullptr;
        bool pango_ok = pango_parse_markup(t.c_str(), -1, 0, nullptr, &pango_plain, nullptr, &error);
        std::string why, plain = "untouched";
        bool ok = markup_is_valid(t.c_str(), error_text(&why));
        bool plain_ok = markup_plain_text(t.c_str(), &plain, nullptr);
        if (ok != pango_ok || plain_ok != pango_ok || (pango_ok && plain != pango_plain)) {
            ++disagreements;
            ADD_FAILURE() << "[" << t << "]: Pango " << (pango_ok ? "accepts" : "refuses")
                          << (error ? std::string(" (") + error->message + ")" : std::string())
                          << ", core " << (ok ? "accepts" : "refuses (" + why + ")")
                          << (pango_ok && plain != pango_plain ? ", plain [" + plain + "] vs ["
                                                                     + pango_plain + "]" : "");
        }
        if (!pango_ok) {
            EXPECT_FALSE(why.empty()) << t;
        }
        g_clear_error(&error);
        g_free(pango_plain);
    }
    EXPECT_EQ(disagreements, 0) << "of " << texts.size() << " texts";
}

} // namespace

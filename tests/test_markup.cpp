// The markup checks of the bank: what is valid, what it shows, and what is
// too large to show.
#include <gtest/gtest.h>

#include <string>

#include "bank/markup.h"
#include "test_util.h"

namespace {

enum verdict { SAFE, UNSAFE, INVALID };

struct markup_case {
    const char *text;
    verdict expected;
};

const markup_case CASES[] = {
    // Titles and texts as exams and the score report write them.
    {"<b><big><big>Practice Exam</big></big></b>", SAFE},
    {"<span size=\"xx-large\" weight=\"bold\">Title</span>", SAFE},
    {"<span font=\"Sans Bold 24\" foreground=\"#336699\">x</span>", SAFE},
    {"<span size=\"200pt\">x</span>", SAFE},
    {"<span size=\"204800\">x</span>", SAFE},
    {"<big><big><big><big><big><big><big><big><big><big><big><big><big><big><big><big>x"
     "</big></big></big></big></big></big></big></big></big></big></big></big></big></big></big></big>",
     SAFE},
    {"<span rise=\"-5pt\" letter_spacing=\"2048\" line_height=\"1.5\">x</span>", SAFE},
    {"<span baseline_shift=\"superscript\" font_scale=\"subscript\">x</span>", SAFE},
    // Valid, and what once killed the program or grew its window.
    {"<span size=\"2147483647\">W</span>", UNSAFE},
    {"<span size=\"20000000\">W</span>", UNSAFE},
    {"<span size=\"201pt\">x</span>", UNSAFE},
    {"<span size=\"100000000%\">x</span>", UNSAFE},
    {"<span size=\"inf%\">x</span>", UNSAFE},
    {"<span font=\"Sans 99999\">x</span>", UNSAFE},
    {"<span font_desc=\"Monospace 5000px\">x</span>", UNSAFE},
    {"<span size=\"150pt\"><big><big>x</big></big></span>", UNSAFE},
    {"<big><span size=\"180pt\">x</span></big>", UNSAFE},
    {"<span size=\"larger\"><span size=\"1000%\"><span size=\"xx-large\">x</span></span></span>", UNSAFE},
    {"<span letter_spacing=\"2147483647\">x</span>", UNSAFE},
    {"<span rise=\"-1000pt\">x</span>", UNSAFE},
    {"<span baseline_shift=\"300pt\">x</span>", UNSAFE},
    {"<span line_height=\"1000\">x</span>", UNSAFE},
    {"<span line_height=\"1e300\">x</span>", UNSAFE},
    {"<span line_height=\"99999999\">x</span>", UNSAFE},
    // Not markup at all.
    {"a & b", INVALID},
    {"<b>x", INVALID},
    {"<span size=\"0\">x</span>", INVALID},
    {"<span colour=\"red\">x</span>", INVALID},
    {"<b weight=\"bold\">x</b>", INVALID},
};

std::string times(const std::string &piece, int n)
{
    std::string text;
    for (int i = 0; i < n; ++i)
        text += piece;
    return text;
}

// Ways round a check of each element alone: the size Pango uses whatever
// order the attributes come in and however the spans nest, and the space
// the whole text takes.
TEST(Markup, TheWholeTextIsBoundedNotEachElementAlone)
{
    const std::string W400 = times("W", 400);
    const struct {
        std::string text;
        bool safe;
    } cases[] = {
        // Pango sets the size after the font description, in any order.
        {"<span size=\"2147483647\" font=\"Sans 10\">W</span>", false},
        {"<span font_size=\"2147483647\" font_desc=\"Sans 10\">W</span>", false},
        {"<span font_size=\"300pt\" font=\"Serif Bold 12\">W</span>", false},
        {"<span size=\"12pt\" font=\"Sans 300\">W</span>", true},
        // Named sizes and percentages scale the size around them.
        {"<span size=\"200pt\"><span size=\"xx-large\">W</span></span>", false},
        {"<span size=\"x-large\"><span size=\"190pt\">W</span></span>", false},
        {"<span font=\"Sans 150\"><span size=\"150%\">W</span></span>", false},
        {"<span font=\"Sans 10\"><span size=\"xx-large\">W</span></span>", true},
        // A description whose last word is no size leaves the size around it.
        {"<span size=\"150pt\"><span font=\"Sans 10 Bold\"><big><big>W</big></big></span></span>", false},
        {"<span size=\"150pt\"><span font=\"Sans 10,\"><big><big>W</big></big></span></span>", false},
        {"<span size=\"150pt\"><span font=\"Sans +10\"><big><big>W</big></big></span></span>", false},
        {"<span size=\"150pt\"><span font=\"Sans 10 @wght=200\"><big><big>W</big></big></span></span>", true},
        {"<span size=\"150pt\"><span font=\"Sans,10\"><big><big>W</big></big></span></span>", true},
        // Spacing, line height, shifts and tabs over the whole text.
        {"<span size=\"204800\" letter_spacing=\"204800\">" + times("W", 1900) + "</span>", false},
        {"<span size=\"204800\" letter_spacing=\"204800\">WWW</span>", true},
        {"<span size=\"204800\" line_height=\"10\">" + times("W\n", 16) + "</span>", false},
        {"<span size=\"204800\" line_height=\"2\">W\nW</span>", true},
        {times("<span rise=\"200pt\">", 12) + "W" + times("</span>", 12), false},
        {times("<span baseline_shift=\"200pt\">", 12) + "W" + times("</span>", 12), false},
        {"<span rise=\"200pt\">W</span>", true},
        {"<span size=\"200pt\">W</span>" + times("\t", 3), false},
        {"<span size=\"200pt\">W</span>" + times("\t", 3) + "\nW", false},
        {"<span rise=\"200pt\">" + times("W\n", 5) + "W</span>", false},
        {"W" + times("\t", 3) + "<span size=\"200pt\">W</span>", true},
        {"<span size=\"100pt\" text_transform=\"uppercase\">" + times("\xc3\x9f", 8) + "</span>", false},
        {"<span size=\"100pt\">" + times("\xc3\x9f", 8) + "</span>", true},
        {"<span size=\"50pt\" gravity=\"east\">" + times("i", 30) + "</span>", false},
        {"<span size=\"50pt\">" + times("i", 30) + "</span>", true},
        // A text as wide as the screen as plain text may stay so, but markup
        // may not make it wider or taller still.
        {W400 + "<b>x</b>", true},
        {W400 + "\n<big>" + times("W", 200) + "</big>", true},
        {"<big>" + W400 + "</big>", false},
        {W400 + "<span letter_spacing=\"1024\">x</span>", false},
        {times("W\n", 200) + "<span line_height=\"3\">x</span>", false},
    };
    for (const auto &c : cases) {
        std::string why;
        EXPECT_EQ(markup_is_safe(c.text.c_str(), MARKUP_MAX_PIXELS, error_text(&why)), c.safe) << c.text.substr(0, 120) << ": " << why;
        EXPECT_TRUE(markup_is_valid(c.text.c_str(), nullptr)) << c.text.substr(0, 120);
    }
}

// The title and the message share the start form's height: what fits the
// screen alone may not fit as either.
TEST(Markup, TitleAndMessageTakeTheirShareOfTheHeight)
{
    const std::string tall = "<span line_height=\"409600\">" + times("W\n", 4) + "W</span>";
    EXPECT_TRUE(markup_is_safe(tall.c_str(), MARKUP_MAX_PIXELS, nullptr));
    EXPECT_FALSE(markup_is_safe(tall.c_str(), MARKUP_MAX_TITLE_HEIGHT, nullptr));
    EXPECT_FALSE(markup_is_safe(tall.c_str(), MARKUP_MAX_MESSAGE_HEIGHT, nullptr));
    EXPECT_TRUE(markup_is_safe("<span size=\"xx-large\"><b>A title</b></span>", MARKUP_MAX_TITLE_HEIGHT, nullptr));
    // A plain text taller than the share stays as tall, with markup too.
    std::string lines = times("line\n", 80) + "<b>end</b>";
    EXPECT_TRUE(markup_is_safe(lines.c_str(), MARKUP_MAX_MESSAGE_HEIGHT, nullptr));
}

TEST(Markup, ValidityAndSafetyOfEachCase)
{
    for (const markup_case &c : CASES) {
        std::string why_valid, why_safe;
        bool valid = markup_is_valid(c.text, error_text(&why_valid));
        bool safe = markup_is_safe(c.text, MARKUP_MAX_PIXELS, error_text(&why_safe));
        EXPECT_EQ(valid, c.expected != INVALID) << c.text << ": " << why_valid;
        EXPECT_EQ(safe, c.expected == SAFE) << c.text << ": " << why_safe;
        if (!safe) {
            EXPECT_FALSE(why_safe.empty()) << c.text;
        }
    }
}

// The effective size counts every enlargement: sixteen big steps from the
// nominal size stay within the bound, the seventeenth goes beyond it.
TEST(Markup, NestedBigCountsUpToTheBound)
{
    std::string text = "x";
    int steps = 0;
    while (markup_is_safe(text.c_str(), MARKUP_MAX_PIXELS, nullptr)) {
        text = "<big>" + text + "</big>";
        ++steps;
    }
    EXPECT_EQ(steps, 17);
    std::string why;
    markup_is_safe(text.c_str(), MARKUP_MAX_PIXELS, error_text(&why));
    EXPECT_NE(why.find("font size"), std::string::npos) << why;
}

TEST(Markup, PlainTextDecodesAndDropsTags)
{
    std::string plain = "untouched";
    EXPECT_TRUE(markup_plain_text("<b>a &amp; b</b> &lt;c&gt; &#x263A;<![CDATA[gone]]><!-- gone -->", &plain, nullptr));
    EXPECT_EQ(plain, "a & b <c> \xe2\x98\xba");
    EXPECT_FALSE(markup_plain_text("<b>a & b</b>", &plain, nullptr));
    EXPECT_EQ(plain, "a & b <c> \xe2\x98\xba");
    EXPECT_TRUE(markup_plain_text("", &plain, nullptr));
    EXPECT_EQ(plain, "");
}

TEST(Markup, ReasonsNameTheFault)
{
    std::string why;
    EXPECT_FALSE(markup_is_valid("<blink>x</blink>", error_text(&why)));
    EXPECT_NE(why.find("blink"), std::string::npos) << why;
    EXPECT_FALSE(markup_is_valid("<span size=\"huge\">x</span>", error_text(&why)));
    EXPECT_NE(why.find("huge"), std::string::npos) << why;
    EXPECT_FALSE(markup_is_safe("<span rise=\"300pt\">x</span>", MARKUP_MAX_PIXELS, error_text(&why)));
    EXPECT_NE(why.find("rise"), std::string::npos) << why;
}

} // namespace

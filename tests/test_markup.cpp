// The markup checks of the bank: what is valid, what it shows, and what is
// too large to show.
#include <gtest/gtest.h>

#include <string>

#include "bank/markup.h"

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

TEST(Markup, ValidityAndSafetyOfEachCase)
{
    for (const markup_case &c : CASES) {
        std::string why_valid, why_safe;
        bool valid = markup_is_valid(c.text, &why_valid);
        bool safe = markup_is_safe(c.text, &why_safe);
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
    while (markup_is_safe(text.c_str())) {
        text = "<big>" + text + "</big>";
        ++steps;
    }
    EXPECT_EQ(steps, 17);
    std::string why;
    markup_is_safe(text.c_str(), &why);
    EXPECT_NE(why.find("font size"), std::string::npos) << why;
}

TEST(Markup, PlainTextDecodesAndDropsTags)
{
    std::string plain = "untouched";
    EXPECT_TRUE(markup_plain_text("<b>a &amp; b</b> &lt;c&gt; &#x263A;<![CDATA[gone]]><!-- gone -->", &plain));
    EXPECT_EQ(plain, "a & b <c> \xe2\x98\xba");
    EXPECT_FALSE(markup_plain_text("<b>a & b</b>", &plain));
    EXPECT_EQ(plain, "a & b <c> \xe2\x98\xba");
    EXPECT_TRUE(markup_plain_text("", &plain));
    EXPECT_EQ(plain, "");
}

TEST(Markup, ReasonsNameTheFault)
{
    std::string why;
    EXPECT_FALSE(markup_is_valid("<blink>x</blink>", &why));
    EXPECT_NE(why.find("blink"), std::string::npos) << why;
    EXPECT_FALSE(markup_is_valid("<span size=\"huge\">x</span>", &why));
    EXPECT_NE(why.find("huge"), std::string::npos) << why;
    EXPECT_FALSE(markup_is_safe("<span rise=\"300pt\">x</span>", &why));
    EXPECT_NE(why.find("rise"), std::string::npos) << why;
}

} // namespace

// Where a markup fault stands, as `check` and the program's warning tell
// an author: the line and column of the character at fault in the text as
// written, characters counted, whatever the kind of fault.
#include <gtest/gtest.h>

#include <string>

#include "bank/markup.h"
#include "test_util.h"

namespace {

struct place_case {
    const char *text;
    const char *place;   // how the reason begins
};

const place_case PLACES[] = {
    // A bare '<' is the fault, not the character after it.
    {"a < b", "line 1, column 3: "},
    {"<>", "line 1, column 1: "},
    {"caf\xc3\xa9 < b", "line 1, column 6: "},   // characters, not bytes
    {"first\nab < c", "line 2, column 4: "},
    {"first\n\nx < 1", "line 3, column 3: "},
    // A bare '&': the first one that begins no entity.
    {"Fish & chips", "line 1, column 6: "},
    {"a &amp; b &#38; &#x26; &c", "line 1, column 24: "},
    {"ab\ncd & e", "line 2, column 4: "},
    // A tag at fault: where it begins.
    {"x</b>", "line 1, column 2: "},
    {"<b>x</i>", "line 1, column 5: "},
    {"<blink>x</blink>", "line 1, column 1: "},
    {"x\n<blink>\ny</blink>", "line 2, column 1: "},
    {"x <span\nfoo=\"1\">y</span>", "line 1, column 3: "},
    {"<span size=\"huge\">x</span>", "line 1, column 1: "},
    {"<b weight=\"bold\">x</b>", "line 1, column 1: "},
    // Only the end shows that something is missing.
    {"<b>x", "at the end of the text: "},
    {"<b>x</b><", "at the end of the text: "},
};

TEST(MarkupPlace, ReasonsGiveTheLineAndColumnOfTheFault)
{
    for (const place_case &c : PLACES) {
        std::string why;
        EXPECT_FALSE(markup_is_valid(c.text, error_text(&why))) << c.text;
        EXPECT_EQ(why.rfind(c.place, 0), 0u) << c.text << ": " << why;
        // The reason is GLib's or ours, once, without its own place.
        EXPECT_EQ(why.find("Error on line"), std::string::npos) << why;
        EXPECT_EQ(why.find(" char "), std::string::npos) << why;
    }
}

} // namespace

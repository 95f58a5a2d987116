// Images referenced by an item's text: the references, where their files
// may be, what a file must be before anything decodes it, and what
// `trialix-pack check` and `show` say of them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bank/error.h"
#include "bank/exhibit.h"
#include "bank/glib_ptr.h"
#include "test_util.h"
#include "tools/pack.h"

namespace {

std::string refs_of(const char *text)
{
    std::string out;
    for (const exhibit_ref &r : exhibit_refs(text))
        out += "[" + r.src + "|" + r.alt + "|" + std::to_string(r.start) + "-" + std::to_string(r.end) + "]";
    return out;
}

TEST(Exhibit, References)
{
    const struct {
        const char *text, *refs;
    } cases[] = {
        {"<img src=\"images/a.png\" alt=\"A\"/>", "[images/a.png|A|0-33]"},
        {"x <img alt='B' src='images/b.png' />y", "[images/b.png|B|2-36]"},
        {"<img\nsrc=\"images/c.png\"\talt=\"&lt;&amp;&gt;&quot;&apos;&#65;&#x42;\"/>",
         "[images/c.png|<&>\"'AB|0-68]"},
        {"<img src=\"images/d.png\"/>", "[images/d.png||0-25]"},            // no alt: check's to say
        {"<img src=\"images/e.png\" alt=\"E\" width=\"3\"/>", "[images/e.png|E|0-43]"},
        {"<img src=\"a\" alt=\"1\"/><img src=\"b\" alt=\"2\"/>", "[a|1|0-22][b|2|22-44]"},
        // Malformed elements are no references; the markup check reports them.
        {"<img src=\"images/a.png\" alt=\"A\">", ""},        // not closed by "/>"
        {"<img src=\"images/a.png\" alt=\"A/>", ""},         // value without its quote
        {"<img src=\"images/a.png\" alt=\"&nbsp;\"/>", ""},  // not an XML escape
        {"<img src=\"images/a.png\" alt=\"&#0;\"/>", ""},
        {"<img src=\"images/a.png\" alt=\"&#x110000;\"/>", ""},
        {"<img src=\"a\" src=\"b\" alt=\"A\"/>", ""},        // attribute twice
        {"<img src=\"a\"alt=\"A\"/>", ""},                   // no blank between
        {"<img src=\"a<b\" alt=\"A\"/>", ""},
        {"<img src=\"images/\xFF.png\" alt=\"A\"/>", ""},    // not UTF-8
        {"<imgsrc=\"a\"/> <image src=\"a\"/> <IMG src=\"a\"/>", ""},
        {"<img", ""},
        {"<img src=", ""},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(refs_of(c.text), c.refs) << c.text;
    EXPECT_TRUE(exhibit_refs(nullptr).empty());
}

TEST(Exhibit, StripKeepsTheTextAndDropsLinesOfReferencesAlone)
{
    const struct {
        const char *text, *stripped;
    } cases[] = {
        {"What does the <b>diagram</b> show?\n<img src=\"images/a.png\" alt=\"A\"/>",
         "What does the <b>diagram</b> show?"},
        {"<img src=\"images/a.png\" alt=\"A\"/>\nQuestion?", "Question?"},
        {"One\n  <img src=\"a\" alt=\"1\"/> <img src=\"b\" alt=\"2\"/>\r\nTwo", "One\nTwo"},
        {"See <img src=\"a\" alt=\"1\"/>here", "See here"},
        {"Plain text\n\nkeeps its blank line", "Plain text\n\nkeeps its blank line"},
        {"A bad <img src=\"a\"> stays", "A bad <img src=\"a\"> stays"},
        {"<img src=\"a\" alt=\"line\nbreak\"/>\nafter", "after"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(exhibit_strip(c.text), c.stripped) << c.text;
}

TEST(Exhibit, SourceProblems)
{
    const struct {
        const char *src;
        const char *problem;   // a word of the message; "" none
    } cases[] = {
        {"images/a.png", ""},
        {"images/sub/a.jpg", ""},
        {"", "no image file named"},
        {"/etc/passwd", "absolute"},
        {"C:/x.png", "absolute"},
        {"images/../cat01", "'..'"},
        {"../other/images/a.png", "'..'"},
        {"images\\a.png", "backslash"},
        {"a.png", "images folder"},
        {"images/", "images folder"},
        {"images//a.png", "images folder"},
        {"./images/a.png", "images folder"},
        {"pictures/a.png", "images folder"},
    };
    for (const auto &c : cases) {
        std::optional<std::string> p = exhibit_src_problem(c.src);
        if (!*c.problem)
            EXPECT_FALSE(p) << c.src << ": " << *p;
        else
            EXPECT_TRUE(p && p->find(c.problem) != std::string::npos) << c.src << ": " << p.value_or("none");
    }
    EXPECT_FALSE(exhibit_has_alt({"images/a.png", " \t\n", 0, 0}));
    EXPECT_TRUE(exhibit_has_alt({"images/a.png", " x ", 0, 0}));
}

// Links out of the exam folder need symbolic links, which Windows keeps
// from ordinary users.
#ifndef _WIN32
TEST(Exhibit, PathsStayInTheExamFolder)
{
    TempDir t;
    std::string exam = t.mkdir("exam");
    t.write("exam/images/a.png", png_image(2, 2));
    t.write("secret.png", png_image(2, 2));
    t.mkdir("exam/images/sub");
    ASSERT_EQ(symlink((t / "secret.png").c_str(), (t / "exam/images/out.png").c_str()), 0);
    ASSERT_EQ(symlink((t / "exam/images/a.png").c_str(), (t / "exam/images/in.png").c_str()), 0);
    ASSERT_EQ(symlink(t.path().c_str(), (t / "exam/images/up").c_str()), 0);
    const struct {
        const char *src;
        int code;   // -1: found
    } cases[] = {
        {"images/a.png", -1},
        {"images/in.png", -1},
        {"images/out.png", TRIALIX_ERROR_OUTSIDE},
        {"images/up/secret.png", TRIALIX_ERROR_OUTSIDE},
        {"images/../../secret.png", TRIALIX_ERROR_OUTSIDE},
        {"images/none.png", TRIALIX_ERROR_MISSING},
        {"images/a.png/x", TRIALIX_ERROR_MISSING},
    };
    for (const auto &c : cases) {
        gerror_ptr e;
        std::optional<std::string> path = exhibit_path(exam.c_str(), c.src, out_error(e));
        EXPECT_EQ(path.has_value(), c.code == -1) << c.src;
        EXPECT_EQ(e ? e->code : -1, c.code) << c.src;
    }
    std::optional<std::string> in = exhibit_path(exam.c_str(), "images/in.png", nullptr);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->substr(in->size() - 12), "images/a.png");
}
#endif

std::string jpeg(int width, int height, bool end = true)
{
    std::string j("\xFF\xD8\xFF\xE0\x00\x04xx", 8);   // an APP0 of two bytes
    j += std::string("\xFF\xC0\x00\x0B\x08", 5);
    j += (char)(height >> 8), j += (char)height, j += (char)(width >> 8), j += (char)width;
    j += std::string("\x01\x01\x11\x00", 4);
    j += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
    j += std::string("\x12\x34\xFF\x00\x56", 5);
    return end ? j + "\xFF\xD9" : j;
}

TEST(Exhibit, HeadersSayTheFormatAndSizeAndHoldTheLimits)
{
    std::string good = png_image(3, 2);
    std::string crc = good;
    crc[40] ^= 1;
    const struct {
        std::string bytes;
        int code;       // -1: read, and intact
        int width, height;
        bool intact;
    } cases[] = {
        {good, -1, 3, 2, true},
        {png_header(8192, 4882), -1, 8192, 4882, false},   // 39.99 megapixels; no data
        {png_header(8193, 1), TRIALIX_ERROR_TOO_LARGE, 0, 0, false},
        {png_header(1, 8193), TRIALIX_ERROR_TOO_LARGE, 0, 0, false},
        {png_header(20000, 20000), TRIALIX_ERROR_TOO_LARGE, 0, 0, false},
        {png_header(8000, 5001), TRIALIX_ERROR_TOO_LARGE, 0, 0, false},
        {png_header(0, 5), TRIALIX_ERROR_DAMAGED, 0, 0, false},
        {good.substr(0, 20), TRIALIX_ERROR_DAMAGED, 0, 0, false},
        {good.substr(0, good.size() - 5), -1, 3, 2, false},   // cut: reads, not intact
        {crc, -1, 3, 2, false},
        {jpeg(640, 480), -1, 640, 480, true},
        {jpeg(640, 480, false), -1, 640, 480, false},
        {jpeg(9000, 10), TRIALIX_ERROR_TOO_LARGE, 0, 0, false},
        {jpeg(0, 10), TRIALIX_ERROR_DAMAGED, 0, 0, false},
        {jpeg(640, 480).substr(0, 12), TRIALIX_ERROR_DAMAGED, 0, 0, false},
        {std::string("\xFF\xD8\xFF\xDA\x00\x02", 6), TRIALIX_ERROR_DAMAGED, 0, 0, false},   // data before a frame
        {"GIF89a\x01\x00\x01\x00", TRIALIX_ERROR_FORMAT, 0, 0, false},
        {"<svg/>", TRIALIX_ERROR_FORMAT, 0, 0, false},
        {"", TRIALIX_ERROR_FORMAT, 0, 0, false},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(n++);
        exhibit_info info;
        gerror_ptr e;
        bool read = exhibit_header((const unsigned char *)c.bytes.data(), c.bytes.size(), &info, out_error(e));
        EXPECT_EQ(e ? e->code : -1, c.code);
        if (!read)
            continue;
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
        EXPECT_EQ(exhibit_intact(c.bytes, info, nullptr), c.intact);
    }
}

TEST(Exhibit, FilesOverTenMebibytesAreNotRead)
{
    TempDir t;
    std::string big = png_image(4, 4);
    big.resize(EXHIBIT_MAX_BYTES + 1, '\0');
    std::string at_limit = png_image(4, 4);
    at_limit.resize(EXHIBIT_MAX_BYTES, '\0');
    std::string bytes;
    exhibit_info info;
    gerror_ptr e;
    EXPECT_FALSE(exhibit_read(t.write("big.png", big).c_str(), &bytes, &info, out_error(e)));
    EXPECT_EQ(e ? e->code : -1, TRIALIX_ERROR_TOO_LARGE);
    EXPECT_TRUE(exhibit_read(t.write("limit.png", at_limit).c_str(), &bytes, &info, nullptr));
    EXPECT_EQ(info.width, 4);
}

// ---- trialix-pack check and show ----

std::string run_pack(std::vector<std::string> args, int *status = nullptr)
{
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(&a[0]);
    TempDir t;
    FILE *out = fopen(t.path("out").c_str(), "w+");
    FILE *err = fopen(t.path("err").c_str(), "w+");
    int s = pack_main((int)argv.size(), argv.data(), out, err);
    if (status)
        *status = s;
    fclose(out);
    fclose(err);
    return read_file(t.path("out")) + read_file(t.path("err"));
}

// Links out of the exam folder need symbolic links, which Windows keeps
// from ordinary users.
#ifndef _WIN32
TEST(ExhibitCheck, EachProblemWithItsFileAndLine)
{
    TempDir t;
    std::string exam = t.mkdir("exam");
    t.write("exam/.xconfig", "title=T\ntimeout=5\npercentage=50\n");
    t.write("exam/images/good.png", png_image(40, 30));
    t.write("exam/images/cut.png", png_image(40, 30).substr(0, 60));
    t.write("exam/images/huge.png", png_header(20000, 20000));
    std::string heavy = png_image(4, 4);
    heavy.resize(12u << 20, '\0');
    t.write("exam/images/heavy.png", heavy);
    t.write("exam/images/anim.gif", "GIF89a\x01\x00\x01\x00");
    t.write("outside.png", png_image(2, 2));
    ASSERT_EQ(symlink((t / "outside.png").c_str(), (t / "exam/images/link.png").c_str()), 0);
    auto img = [](const char *src, const char *alt = "A diagram") {
        return std::string("<img src=\"") + src + "\" alt=\"" + alt + "\"/>";
    };
    // Lines: 1 +++, 2 S, 3.. question text; each problem on a line of its own.
    std::string text = "+++\nS\nQuestion?\n" + img("images/good.png") + "\n" + img("images/none.png") + "\n" +
                       img("images/cut.png") + "\n" + img("images/huge.png") + "\n" + img("images/heavy.png") +
                       "\n" + img("images/anim.gif") + "\n" + img("images/good.png", " ") + "\n" +
                       img("../outside.png") + "\n" + img("images/link.png") + "\n" + img("/tmp/x.png") +
                       "\n---\n+Yes\n-No\n---\nSee\n" + img("images/none2.png") + "\n+++\n";
    write_question_file(t / "exam/cat01", text);
    int status = 0;
    std::string out = run_pack({"trialix-pack", "check", exam}, &status);
    EXPECT_EQ(status, PACK_PROBLEM);
    std::string file = t / "exam/cat01";
    const char *expected[] = {
        ":5: item 1: image \"images/none.png\": no such file",
        ":6: item 1: image \"images/cut.png\": damaged PNG image",
        ":7: item 1: image \"images/huge.png\": image over the limits: 20000\xC3\x97" "20000 pixels, over 8192 a side",
        ":8: item 1: image \"images/heavy.png\": image over the limits: larger than 10 MiB",
        ":9: item 1: image \"images/anim.gif\": unsupported image: not a PNG or JPEG image",
        ":10: item 1: image \"images/good.png\": no alternative text",
        ":11: item 1: image \"../outside.png\": image path outside the exam folder ('..')",
        ":12: item 1: image \"images/link.png\": image path outside the exam folder (through a link)",
        ":13: item 1: image \"/tmp/x.png\": image path outside the exam folder (absolute)",
        ":19: item 1: image \"images/none2.png\": no such file",
    };
    for (const char *e : expected)
        EXPECT_NE(out.find(file + e), std::string::npos) << e << "\n" << out;
    EXPECT_EQ(out.find(":4:"), std::string::npos) << out;   // the good one says nothing
    EXPECT_EQ(out.find("not valid markup"), std::string::npos) << out;

    std::string shown = run_pack({"trialix-pack", "show", file, "1"});
    EXPECT_NE(shown.find("image: images/good.png (alt: A diagram): PNG 40\xC3\x97" "30 pixels"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("image: images/none.png (alt: A diagram): not shown:"), std::string::npos) << shown;
    // The reference survives packing and unpacking as the text holds it.
    EXPECT_EQ(run_pack({"trialix-pack", "unpack", file}), text);
}
#endif

TEST(ExhibitCheck, AGoodExhibitPassesAndAMalformedOneIsMarkup)
{
    TempDir t;
    std::string exam = t.mkdir("exam");
    t.write("exam/.xconfig", "title=T\ntimeout=5\npercentage=50\n");
    t.write("exam/images/good.png", png_image(4, 4));
    write_question_file(t / "exam/cat01", "+++\nS\nQ <b>bold</b>\n<img src=\"images/good.png\" alt=\"A &amp; B\"/>\n"
                                          "---\n+Yes\n-No\n---\n+++\n");
    int status = -1;
    std::string out = run_pack({"trialix-pack", "check", exam}, &status);
    EXPECT_EQ(status, PACK_OK) << out;
    write_question_file(t / "exam/cat01", "+++\nS\nQ\n<img src=\"images/good.png\" alt=\"A\">\n---\n+Yes\n---\n+++\n");
    out = run_pack({"trialix-pack", "check", exam}, &status);
    EXPECT_NE(out.find(":3: item 1: question text is not valid markup"), std::string::npos) << out;
}

} // namespace

namespace {

// A GIFT bank's images that sit beside it come along into the exam's
// images folder; the others are replaced by their description as before.
TEST(ExhibitImport, GiftImagesBesideTheBankAreKept)
{
    TempDir t;
    t.write("bank/net.png", png_image(30, 20));
    t.write("bank/pics/photo one.jpg", jpeg(64, 48));
    t.write("bank/anim.gif", "GIF89a\x01\x00\x01\x00");
    t.write("other/net.png", png_image(5, 5));
    std::string bank = t.write("bank/q.gift",
        "::Q1:: [html]Which device?<br><img src=\"net.png\" alt=\"A &amp; B\"> <img src=\"@@PLUGINFILE@@/pics/photo%20one.jpg\">"
        "{=Router ~Hub ####<img src=\"net.png\" alt=\"again\">}\n\n"
        "::Q2:: [html]Gone <img src=\"missing.png\" alt=\"lost\"> <img src=\"anim.gif\" alt=\"gif\"> "
        "<img src=\"../other/net.png\" alt=\"up\"> <img src=\"http://example.org/x.png\" alt=\"web\">{=Yes ~No}\n");
    std::string exam = t / "exam";
    int status = -1;
    std::string out = run_pack({"trialix-pack", "import", "gift", bank, exam}, &status);
    EXPECT_EQ(read_file(exam + "/images/net.png"), png_image(30, 20));
    EXPECT_EQ(read_file(exam + "/images/photo_one.jpg"), jpeg(64, 48));
    EXPECT_FALSE(g_file_test((exam + "/images/anim.gif").c_str(), G_FILE_TEST_EXISTS));
    std::string q1 = run_pack({"trialix-pack", "unpack", exam + "/cat01"});
    EXPECT_NE(q1.find("<img src=\"images/net.png\" alt=\"A &amp; B\"/>"), std::string::npos) << q1;
    EXPECT_NE(q1.find("<img src=\"images/photo_one.jpg\" alt=\"photo_one.jpg\"/>"), std::string::npos) << q1;
    EXPECT_NE(q1.find("<img src=\"images/net.png\" alt=\"again\"/>"), std::string::npos) << q1;
    std::string q2 = run_pack({"trialix-pack", "unpack", exam + "/cat02"});
    for (const char *replaced : {"[image: lost]", "[image: gif]", "[image: up]", "[image: web]"})
        EXPECT_NE(q2.find(replaced), std::string::npos) << q2;
    // Only the second question is reported, and the check after the import
    // finds every kept image in place.
    EXPECT_EQ(out.find(":1: changed"), std::string::npos) << out;
    EXPECT_NE(out.find(":3: changed: images can't be shown"), std::string::npos) << out;
    EXPECT_EQ(out.find("image \""), std::string::npos) << out;
    EXPECT_EQ(status, PACK_OK) << out;
}

} // namespace

// Images under an item's text on every page that shows one, fitted to the
// content area, at full size in a window of their own; what stands in for
// an image that can't be shown; decoding once per run.
#include <gdk/gdkkeysyms.h>
#include <unistd.h>

#include "bank/exhibit.h"
#include "grading/grade.h"
#include "grading/review.h"
#include "grading/review2.h"
#include "gui_util.h"
#include "run/answer.h"
#include "run/exhibit_view.h"
#include "run/owner.h"

using namespace gui;

namespace {

const char *const ALT = "Two routers joined by one cable";

class ExhibitTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        g_strlcpy(examname, "demo", sizeof examname);
        exams.mkdir("demo/images");
    }
    // A gradient of width by height saved as `type` ("png", "jpeg").
    std::string save(const std::string &name, int width, int height, const char *type = "png")
    {
        GdkPixbuf *p = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
        gdk_pixbuf_fill(p, 0x3366CCFF);
        std::string path = exams / ("demo/images/" + name);
        EXPECT_TRUE(gdk_pixbuf_save(p, path.c_str(), type, nullptr, nullptr));
        g_object_unref(p);
        return path;
    }
    static std::string ref(const std::string &src, const char *alt = ALT)
    {
        return "<img src=\"" + src + "\" alt=\"" + alt + "\"/>";
    }
    // A run of two single-choice items, the first with `text` (and `explanation`).
    void run_with(const std::string &text, const std::string &explanation = "")
    {
        run_of({make_item('S', 1, {"+Yes", "-No"}, text.c_str(), explanation.c_str()),
                make_item('S', 1, {"+Yes", "-No"}, "Second?")});
    }
    // The images under `root` that a screen reader calls `name`.
    static std::vector<GtkWidget *> images(GtkWidget *root, const char *name = ALT)
    {
        return find_all(root, [name](GtkWidget *w) {
            return GTK_IS_IMAGE(w) && gtk_image_get_storage_type(GTK_IMAGE(w)) == GTK_IMAGE_PIXBUF &&
                   g_strcmp0(atk_object_get_name(gtk_widget_get_accessible(w)), name) == 0;
        });
    }
    static GdkPixbuf *pixbuf(GtkWidget *image) { return gtk_image_get_pixbuf(GTK_IMAGE(image)); }
    static std::vector<GtkWidget *> full_size_windows()
    {
        return windows([](GtkWidget *w) { return find_button(w, " Close Image ") != nullptr; });
    }
    static void escape(GtkWidget *window)
    {
        GdkEvent *key = gdk_event_new(GDK_KEY_PRESS);
        key->key.window = GDK_WINDOW(g_object_ref(window->window));
        key->key.keyval = GDK_Escape;
        gtk_widget_event(window, key);
        gdk_event_free(key);
        pump();
    }
    // Pumps until `done` holds: the X server answers a resize in its own time.
    template <typename Done> static bool settle_until(Done done)
    {
        for (int i = 0; i < 400 && !done(); i++)
            pump(), g_usleep(5000);
        return done();
    }
    static void close_all_full_size()
    {
        for (GtkWidget *w : full_size_windows())
            gtk_widget_destroy(w);
        pump();
    }
};

// Each page that shows an item shows its image fitted to the content area
// of a 640x480 window, and at full size in its own window.
TEST_F(ExhibitTest, EveryPageKindFitsTheImageAndOpensItFullSize)
{
    save("net.png", 1600, 1200);
    const struct {
        const char *page;
        void (*show)();
    } pages[] = {
        {"item form", [] { createExamForm(QP); }},
        {"review page", [] { showReviewPage(QP); }},
        {"read-only page", [] { showReview2Page(QP); }},
        {"answer window", [] { showAnswer(QP); }},
    };
    for (const auto &p : pages) {
        SCOPED_TRACE(p.page);
        run_with("What does the picture show?\n" + ref("images/net.png"),
                 "The explanation.\n" + ref("images/net.png"));
        // Each page from the window's first size: a page taller than the
        // window makes it grow, which is the page's and not the image's.
        gtk_window_resize(GTK_WINDOW(main_window), 640, 480);
        settle_until([] { return main_window->allocation.width == 640 && main_window->allocation.height == 480; });
        int width, height;
        exhibit_fit_box(&width, &height);
        EXPECT_LE(width, 640);
        EXPECT_LE(height, 480 / 2);
        p.show();
        pump();
        bool own_window = std::string(p.page) == "answer window";
        GtkWidget *root = own_window ? answer_windows().at(0) : main_window;
        std::vector<GtkWidget *> shown = images(root);
        ASSERT_EQ(shown.size(), 1u);
        settle_until([&] { return shown[0]->allocation.width > 1; });
        GdkPixbuf *fitted = pixbuf(shown[0]);
        EXPECT_LE(gdk_pixbuf_get_width(fitted), width);
        EXPECT_LE(gdk_pixbuf_get_height(fitted), height);
        EXPECT_NEAR(gdk_pixbuf_get_width(fitted) * 3.0 / 4, gdk_pixbuf_get_height(fitted), 1.0) << "aspect kept";
        EXPECT_GE(std::max(gdk_pixbuf_get_width(fitted) - width, gdk_pixbuf_get_height(fitted) - height), -1)
            << "as large as fits";
        if (!own_window) {
            // Shown whole, within the content area's width, which keeps
            // the window's. (A page taller than the window is the page's
            // to scroll.)
            EXPECT_GE(shown[0]->allocation.width, gdk_pixbuf_get_width(fitted));
            EXPECT_LE(gdk_pixbuf_get_width(fitted) + 60, box2->allocation.width);
            EXPECT_EQ(main_window->allocation.width, 640);
        }

        // The button opens the picture at its size; Escape closes it.
        GtkWidget *button = find_button(root, " Full Size ");
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(gtk_widget_get_can_focus(button));
        gtk_button_clicked(GTK_BUTTON(button));
        pump();
        ASSERT_EQ(full_size_windows().size(), 1u);
        GtkWidget *full = full_size_windows()[0];
        ASSERT_EQ(images(full).size(), 1u);
        EXPECT_EQ(gdk_pixbuf_get_width(pixbuf(images(full)[0])), 1600);
        EXPECT_EQ(gdk_pixbuf_get_height(pixbuf(images(full)[0])), 1200);
        EXPECT_NE(find_of_type(full, GTK_TYPE_SCROLLED_WINDOW), nullptr);
        escape(full);
        EXPECT_TRUE(full_size_windows().empty());

        // So does a click on the picture itself.
        GdkEvent *press = gdk_event_new(GDK_BUTTON_PRESS);
        press->button.button = 1;
        press->button.window = GDK_WINDOW(g_object_ref(shown[0]->window));
        gtk_widget_event(gtk_widget_get_parent(shown[0]), press);
        gdk_event_free(press);
        pump();
        EXPECT_EQ(full_size_windows().size(), 1u);
        close_all_full_size();
        for (GtkWidget *w : answer_windows())
            gtk_widget_destroy(w);
        run_end();
    }
}

TEST_F(ExhibitTest, SmallImagesAreNeverScaledUpAndJpegIsRead)
{
    save("small.png", 120, 90);
    save("photo.jpg", 2000, 500, "jpeg");
    run_with("Q?\n" + ref("images/small.png", "small") + "\n" + ref("images/photo.jpg", "photo"));
    createExamForm(QP);
    pump();
    ASSERT_EQ(images(main_window, "small").size(), 1u);
    EXPECT_EQ(gdk_pixbuf_get_width(pixbuf(images(main_window, "small")[0])), 120);
    EXPECT_EQ(gdk_pixbuf_get_height(pixbuf(images(main_window, "small")[0])), 90);
    ASSERT_EQ(images(main_window, "photo").size(), 1u);
    int width, height;
    exhibit_fit_box(&width, &height);
    EXPECT_EQ(gdk_pixbuf_get_width(pixbuf(images(main_window, "photo")[0])), width);
    // The text shows without the references; a screen reader hears the
    // images' words after it.
    EXPECT_NE(find_label(frame, "Q?"), nullptr);
    EXPECT_EQ(item_context(QP), "Q?\nImage: small\nImage: photo\nItem 1 of 2");
    EXPECT_EQ(atk_object_get_role(gtk_widget_get_accessible(images(main_window, "photo")[0])), ATK_ROLE_IMAGE);
}

// Whatever is wrong with an image, its alternative text stands in a frame
// in its place and the run goes on.
TEST_F(ExhibitTest, AnImageThatCantBeShownLeavesItsAlternativeText)
{
    std::string cut = png_image(300, 200);
    cut.resize(cut.size() / 2);
    std::string heavy = png_image(40, 40);
    heavy.resize(12u << 20, '\0');
    exams.write("secret.png", png_image(10, 10));
    exams.write("demo/images/cut.png", cut);
    exams.write("demo/images/garbage.png", std::string("\x89PNG\r\n\x1A\n", 8) + repeat("junk", 100));
    exams.write("demo/images/huge.png", png_header(20000, 20000));
    exams.write("demo/images/heavy.png", heavy);
    exams.write("demo/images/named.png", "GIF89a\x01\x00\x01\x00");
    ASSERT_EQ(symlink((exams / "secret.png").c_str(), (exams / "demo/images/link.png").c_str()), 0);
    const char *sources[] = {"images/missing.png", "images/cut.png", "images/garbage.png", "images/huge.png",
                             "images/heavy.png", "images/named.png", "images/../../secret.png",
                             "images/link.png"};
    for (const char *src : sources) {
        SCOPED_TRACE(src);
        run_with("Q?\n" + ref(src));
        std::string said = stderr_of([] { createExamForm(QP), pump(); });
        EXPECT_NE(said.find(src), std::string::npos) << said;
        EXPECT_TRUE(images(main_window).empty());
        EXPECT_EQ(find_button(frame, " Full Size "), nullptr);
        GtkWidget *words = find_label(frame, ALT);
        ASSERT_NE(words, nullptr);
        EXPECT_TRUE(GTK_IS_FRAME(gtk_widget_get_parent(words)));
        EXPECT_EQ(main_window->allocation.width, 640);
        click(" Next Item ");
        EXPECT_EQ(line("Item "), "Item 2 of 2");
        run_end();
    }
}

// Stepping back and forth decodes an image once; a new run decodes afresh.
TEST_F(ExhibitTest, DecodedImagesAreKeptForTheRun)
{
    save("net.png", 800, 600);
    run_with("Q?\n" + ref("images/net.png"));
    int before = exhibit_decode_count();
    createExamForm(QP);
    pump();
    click(" Next Item ");
    click(" Previous Item ");
    click(" Next Item ");
    click(" Previous Item ");
    EXPECT_EQ(exhibit_decode_count(), before + 1);
    ASSERT_EQ(images(main_window).size(), 1u);
    run_end();
    run_with("Q?\n" + ref("images/net.png"));
    createExamForm(QP);
    pump();
    EXPECT_EQ(exhibit_decode_count(), before + 2);
}

// Large images past what is kept let the earlier ones go; each page
// still shows its own.
TEST_F(ExhibitTest, KeptImagesStayWithinTheirBudget)
{
    save("a.png", 600, 600);
    save("b.png", 600, 600);
    run_of({make_item('S', 1, {"+Yes", "-No"}, ("A\n" + ref("images/a.png", "a")).c_str()),
            make_item('S', 1, {"+Yes", "-No"}, ("B\n" + ref("images/b.png", "b")).c_str())});
    exhibit_keep_at_most(1500000);   // room for one of the two
    int before = exhibit_decode_count();
    createExamForm(QP);
    pump();
    click(" Next Item ");
    click(" Previous Item ");
    EXPECT_EQ(images(main_window, "a").size(), 1u);
    EXPECT_EQ(exhibit_decode_count(), before + 3);
    exhibit_keep_at_most(256u << 20);
    click(" Next Item ");
    click(" Previous Item ");
    click(" Next Item ");
    EXPECT_EQ(images(main_window, "b").size(), 1u);
    EXPECT_EQ(exhibit_decode_count(), before + 4);
}

} // namespace

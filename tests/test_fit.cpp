// Screens that fit the screen: long lines wrap at the window's width, lines
// that fit are laid out as ever, a page taller than the screen scrolls with
// the button bar in view; and, with the desktop's text at twice its size
// (the CTest entry large_text), every screen, dialog and window of a run
// keeps its controls on a 1024x768 screen, reached by Tab, its text whole.
#include <set>

#include "access_util.h"
#include "app/dialogs.h"
#include "grading/history_window.h"
#include "run/answer.h"
#include "saved/load.h"
#include "saved/store.h"

using namespace a11y;
using namespace gui;

namespace {

struct Rect {
    int x, y, w, h;
};

bool inside(const Rect &a, const Rect &b)
{
    return a.x >= b.x && a.y >= b.y && a.x + a.w <= b.x + b.w && a.y + a.h <= b.y + b.h;
}

std::string str(const Rect &r)
{
    return std::to_string(r.w) + "x" + std::to_string(r.h) + "+" + std::to_string(r.x) + "+" +
           std::to_string(r.y);
}

// Lets the X server answer the windows' new sizes (a window that grows
// waits for the server's word before it lays out), and GTK follow.
void settle()
{
    for (int i = 0; i < 20; i++) {
        gdk_display_sync(gdk_display_get_default());
        g_usleep(5000);
        pump();
    }
}

// Where `w` stands on the screen now, scrolled as it is.
Rect on_screen(GtkWidget *w)
{
    GtkWidget *top = gtk_widget_get_toplevel(w);
    int x = 0, y = 0, ox = 0, oy = 0;
    if (w != top)
        gtk_widget_translate_coordinates(w, top, 0, 0, &x, &y);
    gdk_window_get_origin(gtk_widget_get_window(top), &ox, &oy);
    GtkAllocation a;
    gtk_widget_get_allocation(w, &a);
    return {ox + x, oy + y, a.width, a.height};
}

Rect screen_rect()
{
    return {0, 0, gdk_screen_width(), gdk_screen_height()};
}

GtkWidget *ancestor(GtkWidget *w, GType type)
{
    for (GtkWidget *p = gtk_widget_get_parent(w); p; p = gtk_widget_get_parent(p))
        if (G_TYPE_CHECK_INSTANCE_TYPE(p, type))
            return p;
    return nullptr;
}

// Where `w` can be seen: its scroller's view, or the screen.
Rect seen_within(GtkWidget *w)
{
    GtkWidget *scroller = ancestor(w, GTK_TYPE_SCROLLED_WINDOW);
    return scroller ? on_screen(scroller) : screen_rect();
}

// One press of Tab (or Shift+Tab), through the X server.
void tab(GtkWidget *window, bool back)
{
    key(back ? GDK_ISO_Left_Tab : GDK_Tab, back ? GDK_SHIFT_MASK : GdkModifierType(0), window);
}

bool reached_or_group(GtkWidget *c, const std::set<GtkWidget *> &reached)
{
    if (reached.count(c))
        return true;
    // Arrow keys move within a group that Tab entered.
    if (GTK_IS_RADIO_BUTTON(c))
        for (GSList *l = gtk_radio_button_get_group(GTK_RADIO_BUTTON(c)); l; l = l->next)
            if (reached.count(GTK_WIDGET(l->data)))
                return true;
    return false;
}

// The window within the screen; every control on the screen or in a
// scroller that is, and reached by Tab, which scrolls it into view; every
// label as large as it asks to be, so no text is cut off.
void check_window(GtkWidget *window, const std::string &what)
{
    SCOPED_TRACE(what);
    ASSERT_NE(window, nullptr);
    // A screen that resized the window is laid out once the X server has
    // answered the resize: round trips to it, not waiting on time.
    auto unplaced = [](GtkWidget *w) { return GTK_IS_BUTTON(w) && gtk_widget_get_mapped(w) && w->allocation.x < 0; };
    for (int round = 0; round < 50 && find(window, unplaced); round++) {
        gdk_display_sync(gtk_widget_get_display(window));
        pump();
    }
    Rect screen = screen_rect();
    EXPECT_TRUE(inside(on_screen(window), screen)) << str(on_screen(window));
    std::vector<GtkWidget *> controls = find_all(window, [](GtkWidget *w) {
        return (GTK_IS_BUTTON(w) || GTK_IS_ENTRY(w)) && gtk_widget_get_mapped(w) &&
               !ancestor(w, GTK_TYPE_TREE_VIEW);   // a list's column headers
    });
    ASSERT_FALSE(controls.empty());
    for (GtkWidget *c : controls) {
        GtkWidget *scroller = ancestor(c, GTK_TYPE_SCROLLED_WINDOW);
        Rect r = scroller ? on_screen(scroller) : on_screen(c);
        EXPECT_TRUE(inside(r, screen)) << describe(c) << " at " << str(r);
    }
    for (GtkWidget *l : find_all_of_type(window, GTK_TYPE_LABEL)) {
        if (!gtk_widget_get_mapped(l))
            continue;
        GtkRequisition req;
        gtk_widget_get_child_requisition(l, &req);
        Rect r = on_screen(l);
        EXPECT_TRUE(r.w >= req.width && r.h >= req.height)
            << "\"" << label_text(l) << "\" cut off: " << str(r) << " of " << req.width << "x" << req.height;
        if (!ancestor(l, GTK_TYPE_SCROLLED_WINDOW)) {
            EXPECT_TRUE(inside(r, screen)) << "\"" << label_text(l) << "\" at " << str(r);
        }
    }
    // The first focus is given before the page is laid out, which shows the
    // page from its top (the question) whatever it is. Tab, then Shift+Tab:
    // the file selection's name takes Tab to complete a name.
    std::set<GtkWidget *> reached;
    size_t presses = controls.size() + 3;
    for (size_t i = 0; i < 2 * presses; i++) {
        GtkWidget *f = gtk_window_get_focus(GTK_WINDOW(window));
        if (f && reached.insert(f).second && i > 0 && !ancestor(f, GTK_TYPE_TREE_VIEW) && !GTK_IS_TREE_VIEW(f)) {
            EXPECT_TRUE(inside(on_screen(f), seen_within(f)))
                << describe(f) << " focused out of view at " << str(on_screen(f));
        }
        tab(window, i >= presses);
    }
    for (GtkWidget *c : controls) {
        if (gtk_widget_is_sensitive(c)) {
            EXPECT_TRUE(reached_or_group(c, reached)) << describe(c) << " not reached by Tab";
        }
    }
}

// Checks each message dialog as it opens, then answers it.
class DialogChecker {
public:
    explicit DialogChecker(int response) : response_(response)
    {
        source_ = g_timeout_add(100, tick, this);
    }
    ~DialogChecker() { g_source_remove(source_); }
    DialogChecker(const DialogChecker &) = delete;
    DialogChecker &operator=(const DialogChecker &) = delete;
    int checked = 0;

private:
    static gboolean tick(gpointer data)
    {
        auto *self = static_cast<DialogChecker *>(data);
        std::vector<GtkWidget *> open = windows([](GtkWidget *w) { return GTK_IS_MESSAGE_DIALOG(w); });
        if (open.empty())
            return TRUE;
        check_window(open.back(), "message dialog " + std::to_string(self->checked + 1));
        self->checked++;
        gtk_dialog_response(GTK_DIALOG(open.back()), self->response_);
        return TRUE;
    }
    int response_;
    guint source_;
};

std::string words(int n)
{
    std::string s;
    for (int i = 0; i < n; i++)
        s += (i ? " " : "") + std::string(i % 7 == 3 ? "configuration" : "word");
    return s;
}

} // namespace

class FitTest : public RunTest {
protected:
    static GtkWidget *question_label()
    {
        return find(frame, [](GtkWidget *w) {
            return GTK_IS_LABEL(w) && ancestor(w, GTK_TYPE_EVENT_BOX) && !ancestor(w, GTK_TYPE_BUTTON);
        });
    }
    static int lines_of(GtkWidget *label)
    {
        return pango_layout_get_line_count(gtk_label_get_layout(GTK_LABEL(label)));
    }
    static int width_of(GtkWidget *w)
    {
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        return a.width;
    }
};

// A question line, a choice and an explanation far wider than the window
// wrap at its width; the author's line breaks stay; the window keeps its
// size. Widened, the window gives the lines its new width.
TEST_F(FitTest, LongLinesWrapAtTheWindowsWidthAndTheAuthorsBreaksStay)
{
    std::string text = "First line\n" + words(200);
    std::string explanation = "Because\n" + words(150);
    question *q = make_item('M', 1, {"+" + std::string(200, 'x'), "-short"}, text.c_str(),
                            explanation.c_str());
    run_of({q});
    int before = width_of(main_window);
    createExamForm(q);
    settle();
    EXPECT_EQ(width_of(main_window), before);
    GtkWidget *label = question_label();
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(gtk_label_get_line_wrap(GTK_LABEL(label)));
    EXPECT_LE(width_of(label), before);
    EXPECT_GT(lines_of(label), 3);
    // The first line stays the author's, however short.
    EXPECT_EQ(pango_layout_get_line_readonly(gtk_label_get_layout(GTK_LABEL(label)), 0)->length, 10);
    std::vector<GtkWidget *> shown = choices();
    ASSERT_EQ(shown.size(), 2u);
    GtkWidget *wide = gtk_bin_get_child(GTK_BIN(shown[0]));
    EXPECT_TRUE(gtk_label_get_line_wrap(GTK_LABEL(wide))) << "a word wider than the window";
    EXPECT_FALSE(gtk_label_get_line_wrap(GTK_LABEL(gtk_bin_get_child(GTK_BIN(shown[1])))));
    EXPECT_TRUE(inside(on_screen(bbox), on_screen(main_window)));

    showAnswer(q);
    settle();
    ASSERT_EQ(answer_windows().size(), 1u);
    GtkWidget *answer = answer_windows()[0];
    EXPECT_LE(width_of(answer), width_of(main_window));
    EXPECT_TRUE(gtk_label_get_line_wrap(GTK_LABEL(find_label(answer, explanation))));
    gtk_widget_destroy(answer);

    int narrow = lines_of(label);
    gtk_window_resize(GTK_WINDOW(main_window), before + 300, 600);
    settle();
    EXPECT_LT(lines_of(label), narrow) << "wrapped at the wider window's width";
    EXPECT_GT(width_of(label), before);
}

// Lines that fit are laid out exactly as before: unwrapped, as wide as
// their text, the window its size.
TEST_F(FitTest, LinesThatFitAreLaidOutAsEver)
{
    const char *texts[] = {"Which is it?", "Two lines,\nboth short.", "<b>Bold</b> and <i>italic</i>"};
    for (const char *text : texts) {
        SCOPED_TRACE(text);
        question *q = make_item('S', 1, {"-One", "+Two"}, text, "Because.");
        run_of({q});
        createExamForm(q);
        settle();
        GtkWidget *label = question_label();
        GtkWidget *plain = gtk_label_new(nullptr);
        gtk_label_set_markup(GTK_LABEL(plain), text);
        gtk_widget_set_style(plain, gtk_widget_get_style(label));
        GtkRequisition mine, theirs;
        gtk_widget_size_request(label, &mine);
        gtk_widget_size_request(plain, &theirs);
        EXPECT_FALSE(gtk_label_get_line_wrap(GTK_LABEL(label)));
        EXPECT_EQ(mine.width, theirs.width);
        EXPECT_EQ(mine.height, theirs.height);
        EXPECT_EQ(width_of(main_window), 640);
        g_object_ref_sink(plain);
        gtk_widget_destroy(plain);
        g_object_unref(plain);
        screen_empty();
        QP = nullptr;
        destroy_list(q);
    }
}

// A page taller than the screen: the window stays on the screen, the page
// scrolls, the bar stays in view, and Tab scrolls the last choice in.
TEST_F(FitTest, APageTallerThanTheScreenScrollsWithTheBarInView)
{
    std::string text;
    for (int i = 1; i <= 150; i++)
        text += "Line " + std::to_string(i) + "\n";
    question *q = make_item('S', 1, {"-One", "+Two", "-Three"}, text.c_str(), "Because.");
    run_of({q});
    createExamForm(q);
    settle();
    Rect screen = screen_rect();
    EXPECT_TRUE(inside(on_screen(main_window), screen)) << str(on_screen(main_window));
    EXPECT_TRUE(inside(on_screen(bbox), screen)) << str(on_screen(bbox));
    GtkWidget *scroller = ancestor(frame, GTK_TYPE_SCROLLED_WINDOW);
    ASSERT_NE(scroller, nullptr);
    GtkAdjustment *v = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(scroller));
    EXPECT_GT(gtk_adjustment_get_upper(v), gtk_adjustment_get_page_size(v));
    check_window(main_window, "tall page");
    EXPECT_TRUE(gtk_widget_get_can_focus(scroller)) << "the keys can scroll it";
}

// ---- Twice the text size ----

class LargeTextTest : public FitTest {
protected:
    void SetUp() override
    {
        FitTest::SetUp();
        gchar *font = nullptr;
        g_object_get(gtk_settings_get_default(), "gtk-font-name", &font, nullptr);
        std::string name = font ? font : "";
        g_free(font);
        if (name != "Sans 20")
            GTEST_SKIP() << "runs with tests/data/large-text.gtkrc (CTest entry large_text)";
        dialogs.stop();
        exams.write("demo/.xconfig", "title=Network Basics for Beginners\ntimeout=30\npercentage=70\n"
                                     "[message]\nWelcome to the practice exam.\nRead every item "
                                     "carefully before you answer.\nGood luck!\n");
        write_question_file(exams / "demo/cat00",
                            "+++\nS1\nA host sends a frame to every station of its network.\n"
                            "Which address does it use?\n---\n-The gateway's address\n"
                            "+The broadcast address\n-The loopback address\n-Its own address\n"
                            "---\nA broadcast reaches every station of the segment.\n+++\n");
        write_question_file(exams / "demo/cat01",
                            "+++\nM2\nWhich of these are private IPv4 ranges?\n---\n+10.0.0.0/8\n"
                            "+192.168.0.0/16\n-8.8.8.0/24\n+172.16.0.0/12\n-100.64.0.0/10\n"
                            "---\nRFC 1918 names three ranges.\n+++\n");
        write_question_file(exams / "demo/cat02",
                            "+++\nF1\nWhich port does HTTPS use by default?\n---\n443\n---\n"
                            "HTTPS listens on port 443.\n+++\n");
    }

    void answer_window(const std::string &what)
    {
        click(" Show Answer ");
        ASSERT_EQ(answer_windows().size(), 1u);
        check_window(answer_windows()[0], what);
        gtk_widget_destroy(answer_windows()[0]);
        settle();
    }
};

TEST_F(LargeTextTest, EveryScreenKeepsItsControlsOnA1024x768Screen)
{
    ASSERT_EQ(gdk_screen_width(), 1024);
    ASSERT_EQ(gdk_screen_height(), 768);
    start_exam(nullptr, (void *)"demo");
    settle();
    check_window(main_window, "start form");
    // Its panel's lines wrap rather than push the options out sideways.
    GtkAdjustment *across = gtk_scrolled_window_get_hadjustment(
        GTK_SCROLLED_WINDOW(ancestor(frame, GTK_TYPE_SCROLLED_WINDOW)));
    EXPECT_LE(gtk_adjustment_get_upper(across), gtk_adjustment_get_page_size(across) + 0.5);
    click(" Start Exam ");
    for (int i = 1;; i++) {
        check_window(main_window, "item " + std::to_string(i) + ": " + line("Select"));
        if (i == 1)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(find_button(frame, "Mark Item for Review")), TRUE);
        answer_window("answer window of item " + std::to_string(i));
        if (!find_button(bbox, " Next Item "))
            break;
        click(" Next Item ");
    }
    click(" Review Screen ");
    check_window(main_window, "review screen");
    click(" Review ");
    check_window(main_window, "review page");
    {
        DialogChecker checker(GTK_RESPONSE_YES);
        click(" Grade Exam ");
        EXPECT_EQ(checker.checked, 1);
    }
    check_window(main_window, "score report");
    click(" Review All ");
    for (int i = 1;; i++) {
        check_window(main_window, "read-only item " + std::to_string(i));
        GtkWidget *next = find_button(bbox, " Next Item ");
        if (!next || !is_sensitive(next))
            break;
        click(" Next Item ");
    }
    answer_window("read-only answer window");
    click(" Back to Grade Exam ");

    for (GtkWidget *item : {exam_save, exam_open}) {
        gtk_widget_set_sensitive(item, TRUE);
        menu(item);
        ASSERT_EQ(file_dialogs().size(), 1u);
        check_window(file_dialogs()[0], item == exam_save ? "save dialog" : "load dialog");
        item == exam_save ? close_save_dialog() : close_load_dialog();
        settle();
    }
    createExamLoad(QP);
    settle();
    check_window(main_window, "resume form");
    {
        DialogChecker checker(GTK_RESPONSE_OK);
        installation_warning("Can't find a valid entry for examdir in the settings.\n\n"
                             "Using default settings instead.\n\nCheck your installation\n\n");
        EXPECT_EQ(checker.checked, 1);
    }
    cb_history(nullptr, nullptr);
    settle();
    std::vector<GtkWidget *> history = windows([](GtkWidget *w) {
        return g_strcmp0(gtk_window_get_title(GTK_WINDOW(w)), "Results History") == 0;
    });
    ASSERT_EQ(history.size(), 1u);
    check_window(history[0], "history window");
    gtk_widget_destroy(history[0]);
    settle();
}

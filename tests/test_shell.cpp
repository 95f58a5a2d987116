// The application shell: the main window and its screens, the menus and
// the exam catalogue, the settings read at start-up, and the message dialogs.
#include "gui_util.h"

#include <glib/gstdio.h>

#include "app/config.h"
#include "app/dialogs.h"
#include "app/menu.h"

using namespace gui;
using Texts = std::vector<std::string>;

// The window holds menu bar, screen box and status bar. The next screen
// takes the place of the last, and what belonged to the last goes with it
// (handler data left behind would fail the sanitizer build's leak check).
// Quit and the close box end the main loop.
TEST_F(GuiTest, MainWindowScreensAndQuitting)
{
    build_main_window();
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(main_window)), "Trialix 1.0");
    std::vector<GtkWidget *> kids = children(gtk_bin_get_child(GTK_BIN(main_window)));
    ASSERT_EQ(kids.size(), 3u);
    EXPECT_TRUE(GTK_IS_MENU_BAR(kids[0]));
    EXPECT_EQ(kids[1], box2);
    EXPECT_EQ(kids[2], statusbar);
    EXPECT_TRUE(gtk_widget_get_visible(kids[0]));
    EXPECT_TRUE(gtk_widget_get_visible(statusbar));
    GtkWidget *first = gtk_frame_new(nullptr);
    cb_timer = gtk_check_button_new_with_label("Enable Timer");   // a form's check button
    gtk_container_add(GTK_CONTAINER(first), cb_timer);
    screen_put_up(first, screen_button_bar());
    g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer *>(&first));
    GtkWidget *second = gtk_frame_new(nullptr);
    gtk_container_add(GTK_CONTAINER(second), gtk_label_new("second screen"));
    screen_put_up(second, screen_button_bar());
    pump();
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(cb_timer, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(find_label(box2, "second screen")));
    // The frame stands in a scroller of its own, above the bar.
    kids = children(box2);
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_TRUE(GTK_IS_SCROLLED_WINDOW(kids[0]) && gtk_widget_is_ancestor(frame, kids[0]));
    EXPECT_EQ(kids[1], bbox);
    // The frame takes the room; the bar sits below it.
    GtkAllocation fa, ba;
    gtk_widget_get_allocation(frame, &fa);
    gtk_widget_get_allocation(bbox, &ba);
    EXPECT_GE(ba.y, fa.y + fa.height);
    EXPECT_GT(fa.height, 300);

    // A loop that doesn't end fails, and the guard ends it.
    guint guard = g_timeout_add(1000, [](gpointer) -> gboolean {
        return ADD_FAILURE() << "the main loop went on", gtk_main_quit(), TRUE;
    }, nullptr);
    g_idle_add([](gpointer) { return gtk_menu_item_activate(GTK_MENU_ITEM(exam_quit)), FALSE; }, nullptr);
    gtk_main();
    g_idle_add([](gpointer) { return close_window(main_window), FALSE; }, nullptr);
    gtk_main();
    g_source_remove(guard);
}

// The items of a menu or menu bar in order: "---" for a separator, else the
// label as set, then " _" when its underscore marks a mnemonic, " icon"
// with an image, " (off)" when insensitive, " right" when right-justified.
static Texts entries(GtkWidget *shell)
{
    Texts out;
    for (GtkWidget *w : children(shell)) {
        GtkWidget *label = gtk_bin_get_child(GTK_BIN(w));
        if (!label) {
            out.push_back("---");   // a separator
            continue;
        }
        out.push_back(label_markup(label) + (gtk_label_get_use_underline(GTK_LABEL(label)) ? " _" : "")
                      + (GTK_IS_IMAGE_MENU_ITEM(w) && gtk_image_menu_item_get_image(GTK_IMAGE_MENU_ITEM(w))
                             ? " icon" : "")
                      + (is_sensitive(w) ? "" : " (off)")
                      + (gtk_menu_item_get_right_justified(GTK_MENU_ITEM(w)) ? " right" : ""));
    }
    return out;
}

static const char OPEN[] = "  _Open Exam        _ icon", SAVE_OFF[] = "  _Save Exam _ icon (off)",
                  QUIT[] = "  _Quit _ icon";
static const std::string HISTORY = "  Results _History _ icon";

using MenuTest = GuiTest;

// The menus, the catalogue of exam directories (not hidden ones, not
// files), and what a run turns off.
TEST_F(MenuTest, ItemsCatalogueAndSensitivityWhileARunGoes)
{
    for (const char *name : {"net1", ".svn", "old", "my_exam"})
        exams.mkdir(name);
    exams.write("readme.txt", "not an exam\n");
    build_main_window();
    GtkWidget *bar = children(gtk_bin_get_child(GTK_BIN(main_window)))[0];
    EXPECT_EQ(entries(bar), (Texts{"Exam", "Help right"}));
    EXPECT_EQ(entries(gtk_menu_item_get_submenu(GTK_MENU_ITEM(children(bar)[1]))), Texts{"About"});
    // In the order the directory listing gives; an underscore is shown as it is.
    Texts idle = {OPEN, SAVE_OFF, HISTORY, "---"};
    Texts running = {"  _Open Exam        _ icon (off)", "  _Save Exam _ icon", HISTORY + " (off)", "---"};
    GDir *dir = g_dir_open(examdir, 0, nullptr);
    while (const char *name = g_dir_read_name(dir))
        if (name[0] != '.' && std::string(name) != "readme.txt") {
            idle.push_back("  Start Practice Exam " + std::string(name) + "  icon");
            running.push_back(idle.back() + " (off)");
        }
    g_dir_close(dir);
    idle.insert(idle.end(), {"---", QUIT});
    running.insert(running.end(), {"---", QUIT});
    EXPECT_EQ(entries(exammenu), idle);
    disable_exam_menus();
    EXPECT_EQ(entries(exammenu), running);
    enable_exam_menus();
    EXPECT_EQ(entries(exammenu), idle);
}

// A missing root, or a file in its place, gives the first warning; a root
// without exam directories the second. Open Exam works all the same.
TEST_F(MenuTest, RootWarningsAndAboutBox)
{
    exams.mkdir("empty/.hidden");
    exams.write("empty/notes", "");
    exams.write("root-file", "not a directory");
    for (std::string root : {"no-such-root", "root-file", "empty"}) {
        g_strlcpy(examdir, exams.path(root).c_str(), sizeof examdir);
        dialogs.plan(GTK_RESPONSE_OK);
        GtkWidget *bar = GTK_WIDGET(g_object_ref_sink(createMenuBar()));
        SeenDialog d = dialogs.seen.back();
        EXPECT_EQ(d.text, "There are no " + std::string(root == "empty" ? "exams" : "exam directories") + " in "
                              + exams.path(root)
                              + "\n\nThe simulation will not work!\n\nCheck your installation\n\n");
        EXPECT_EQ(d.type, GTK_MESSAGE_WARNING);
        EXPECT_EQ(d.parent, nullptr);
        EXPECT_EQ(d.title + "|" + d.buttons.at(0), "Warning|OK");
        EXPECT_EQ(entries(exammenu), (Texts{OPEN, SAVE_OFF, HISTORY, "---", "---", QUIT}));
        gtk_widget_destroy(bar), g_object_unref(bar);
    }

    // The About box, the menus' other dialog, names the version and credits.
    dialogs.plan(GTK_RESPONSE_OK);
    trialix_about(nullptr, nullptr);
    const SeenDialog &about = dialogs.seen.back();
    EXPECT_EQ(about.title + "|" + about.buttons.at(0), "About Trialix|OK");
    EXPECT_EQ(about.type, GTK_MESSAGE_INFO);
    EXPECT_EQ(about.parent, nullptr);
    EXPECT_EQ(about.text.rfind("Trialix 1.0\n\n", 0), 0u) << about.text;
    EXPECT_GT(about.text.size(), strlen("Trialix 1.0\n\n")) << "and credits";
}

// The settings as the program reads them at start-up, from the test run's
// own configuration directories (set up in main).
TEST_F(GuiTest, StartupWarnsWithoutSettingsAndReadsTheUsersFile)
{
    dialogs.plan(CLOSE_WINDOW);
    trialix_config();
    const SeenDialog &d = dialogs.seen.at(0);
    EXPECT_EQ(d.text, "Can't find a valid entry in the registry\n\nFalling back to default "
                      "values\n\nCheck your installation\n\n");
    EXPECT_EQ(d.title + "|" + d.buttons.at(0) + "|" + savedir + "|" + prefix, "Warning|OK|.|cat");
    EXPECT_EQ(d.type, GTK_MESSAGE_WARNING);
    EXPECT_EQ(d.parent, nullptr);

    // Found: read, and no warning (the answerer fails the test on one).
    std::string xdg = g_getenv("TRIALIX_TEST_XDG");
    std::string conf = xdg + "/config/trialix/trialix.conf";
    g_mkdir_with_parents((xdg + "/config/trialix").c_str(), 0755);
    write_file(conf, "[Trialix]\nexamdir=/srv/exams\nprefix=q\n");
    trialix_config();
    g_remove(conf.c_str());
    EXPECT_EQ(std::string(examdir) + "|" + prefix + "|" + examconfig + "|" + savedir,
              "/srv/exams|q|.xconfig|" + xdg + "/Documents");
}

// Every message dialog of a run: its text, type and buttons, and what the
// caller gets for each answer, closing the window included. All of them
// stand over the main window, untitled.
TEST_F(GuiTest, MessageDialogsTextsButtonsAndReturns)
{
    build_main_window();
    const std::vector<std::string> yes_no = {"No", "Yes"}, close = {"Close"};
    const std::string unanswered = " unanswered items remaining. Items left unanswered will be marked as "
                                   "incorrect\n\nAre you sure you want to grade this exam?";
    const std::string realend = "Are you certain you want to grade this exam now?";
    const std::string no_item =
        "There is no item which fullfills your review options.\n\nClose this window to return.\n";
    const std::string overwrite =
        "The file saves/a%d already exists\n\nDo you really want to overwrite it?\n\n";
    struct {
        int (*show)();
        int answer, returned;
        std::string text;
        std::vector<std::string> buttons;   // a question's two, or a warning's one
    } cases[] = {
        {[] { return unanswered_dialog(12); }, CLOSE_WINDOW, GTK_RESPONSE_DELETE_EVENT,
         "You have 12" + unanswered, yes_no},
        {realend_dialog, GTK_RESPONSE_NO, GTK_RESPONSE_NO, realend, yes_no},
        {realend_dialog, CLOSE_WINDOW, GTK_RESPONSE_DELETE_EVENT, realend, yes_no},
        {[] { return no_item_dialog(nullptr), 0; }, GTK_RESPONSE_CLOSE, 0, no_item, close},
        {[] { return no_item_dialog2(nullptr), 0; }, CLOSE_WINDOW, 0, no_item, close},
        // Names are shown as they are, a "%d" in them included.
        {[] { return file_write_error_dialog("/tmp/100%done_%d%s.sav"), 0; }, GTK_RESPONSE_CLOSE, 0,
         "Error!\n\nI'm unable to write the file /tmp/100%done_%d%s.sav\n\n", close},
        {[] { return file_read_error_dialog("net1_%d_12.06_03_25"), 0; }, CLOSE_WINDOW, 0,
         "Error!\n\nI'm unable to read the file net1_%d_12.06_03_25\n\n", close},
        {[] { return overwrite_file_dialog("saves/a%d"); }, GTK_RESPONSE_YES, 1, overwrite, yes_no},
        {[] { return overwrite_file_dialog("saves/a%d"); }, GTK_RESPONSE_NO, 0, overwrite, yes_no},
        // Closing the question keeps the existing file.
        {[] { return overwrite_file_dialog("saves/a%d"); }, CLOSE_WINDOW, 0, overwrite, yes_no},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text + " answered " + std::to_string(c.answer));
        dialogs.plan(c.answer);
        EXPECT_EQ(c.show(), c.returned);
        SeenDialog d = dialogs.seen.at(0);
        dialogs.seen.clear();
        EXPECT_EQ(d.text, c.text);
        EXPECT_EQ(d.type, c.buttons == yes_no ? GTK_MESSAGE_QUESTION : GTK_MESSAGE_WARNING);
        EXPECT_EQ(d.buttons, c.buttons);
        EXPECT_EQ(d.parent, GTK_WINDOW(main_window));
        EXPECT_EQ(d.title, "");
    }
}

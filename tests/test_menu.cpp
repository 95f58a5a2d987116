#include "gui_util.h"

#include <glib/gstdio.h>

#include "app/config.h"
#include "app/functions.h"
#include "app/globals.h"
#include "app/menu.h"

using namespace gui;
using Texts = std::vector<std::string>;

static std::string catalogue_label(const std::string &name)
{
    return "  Start Practice Exam " + name + " ";
}

// The items of a menu or menu bar in order: "---" for a separator, else the
// label as set, then " _" when its underscore marks a mnemonic, " icon"
// with an image, " (off)" when insensitive, " right" when right-justified.
static Texts entries(GtkWidget *shell)
{
    Texts out;
    for (GtkWidget *w : children(shell)) {
        if (GTK_IS_SEPARATOR_MENU_ITEM(w)) {
            out.push_back("---");
            continue;
        }
        GtkWidget *label = gtk_bin_get_child(GTK_BIN(w));
        std::string e = label_markup(label);
        if (gtk_label_get_use_underline(GTK_LABEL(label)))
            e += " _";
        if (GTK_IS_IMAGE_MENU_ITEM(w) && gtk_image_menu_item_get_image(GTK_IMAGE_MENU_ITEM(w)))
            e += " icon";
        if (!is_sensitive(w))
            e += " (off)";
        if (gtk_menu_item_get_right_justified(GTK_MENU_ITEM(w)))
            e += " right";
        out.push_back(e);
    }
    return out;
}

static const char OPEN[] = "  _Open Exam        _ icon", SAVE_OFF[] = "  _Save Exam _ icon (off)",
                  QUIT[] = "  _Quit _ icon";

// Builds a menu bar over the current examdir and keeps it until the next
// build or the end of the test.
class MenuTest : public GuiTest {
protected:
    void build()
    {
        drop();
        bar = createMenuBar();
        g_object_ref_sink(bar);
    }
    void drop()
    {
        if (bar)
            gtk_widget_destroy(bar), g_object_unref(bar);
        bar = nullptr;
    }
    void TearDown() override
    {
        drop();
        GuiTest::TearDown();
    }
    GtkWidget *bar = nullptr;
};

// The menus, the catalogue of exam directories (not hidden ones, not
// files), and what a run turns off.
TEST_F(MenuTest, ItemsCatalogueAndSensitivityWhileARunGoes)
{
    for (const char *name : {"net1", ".svn", "old", "my_exam"})
        exams.mkdir(name);
    exams.write("readme.txt", "not an exam\n");
    build();
    std::vector<GtkWidget *> top = children(bar);
    EXPECT_EQ(entries(bar), (Texts{"Exam", "Help right"}));
    EXPECT_EQ(gtk_menu_item_get_submenu(GTK_MENU_ITEM(top[0])), exammenu);
    EXPECT_EQ(entries(gtk_menu_item_get_submenu(GTK_MENU_ITEM(top[1]))), Texts{"About"});
    // In the order the directory listing gives; an underscore is shown as it is.
    Texts idle = {OPEN, SAVE_OFF, "---"}, running = {"  _Open Exam        _ icon (off)", "  _Save Exam _ icon", "---"};
    GDir *dir = g_dir_open(examdir, 0, nullptr);
    while (const char *name = g_dir_read_name(dir))
        if (name[0] != '.' && std::string(name) != "readme.txt") {
            idle.push_back(catalogue_label(name) + " icon");
            running.push_back(catalogue_label(name) + " icon (off)");
        }
    g_dir_close(dir);
    idle.insert(idle.end(), {"---", QUIT});
    running.insert(running.end(), {"---", QUIT});
    ASSERT_EQ(idle.size(), 9u);   // demo, net1, old, my_exam
    EXPECT_EQ(entries(exammenu), idle);
    std::vector<GtkWidget *> items = children(exammenu);
    EXPECT_TRUE(items[0] == exam_open && items[1] == exam_save && items[8] == exam_quit);
    disable_exam_menus();
    EXPECT_EQ(entries(exammenu), running);
    enable_exam_menus();
    EXPECT_EQ(entries(exammenu), idle);

    // Choosing an exam hands its name to start_exam; this one has no
    // configuration file, which the start form warns about.
    dialogs.plan(GTK_RESPONSE_OK);
    for (GtkWidget *item : items)
        if (find_label(item, catalogue_label("my_exam")))
            gtk_menu_item_activate(GTK_MENU_ITEM(item));
    EXPECT_STREQ(examname, "my_exam");
}

// A missing root, or a file in its place, gives the first warning; a root
// without exam directories the second. Open Exam works all the same.
TEST_F(MenuTest, MissingRootAndEmptyRootEachGiveTheirOwnWarning)
{
    exams.mkdir("empty/.hidden");
    exams.write("empty/notes", "");
    exams.write("root-file", "not a directory");
    for (std::string root : {"no-such-root", "root-file", "empty"}) {
        g_strlcpy(examdir, exams.path(root).c_str(), sizeof examdir);
        dialogs.plan(GTK_RESPONSE_OK);
        build();
        SeenDialog d = dialogs.seen.back();
        std::string what = root == "empty" ? "exams" : "exam directories";
        EXPECT_EQ(d.text, "There are no " + what + " in " + exams.path(root)
                              + "\n\nThe simulation will not work!\n\nCheck your installation\n\n");
        EXPECT_EQ(d.type, GTK_MESSAGE_WARNING);
        EXPECT_EQ(d.title + "|" + d.buttons.at(0), "Warning|OK");
        EXPECT_TRUE(d.modal && !d.parent);
        EXPECT_EQ(entries(exammenu), (Texts{OPEN, SAVE_OFF, "---", "---", QUIT}));
        EXPECT_TRUE(is_sensitive(exam_open));
    }
    EXPECT_EQ(dialogs.seen.size(), 3u);
}

TEST_F(GuiTest, AboutBoxNamesVersionAndCredits)
{
    dialogs.plan(GTK_RESPONSE_OK);
    trialix_about(nullptr, nullptr);
    ASSERT_EQ(dialogs.seen.size(), 1u);
    const SeenDialog &d = dialogs.seen[0];
    EXPECT_EQ(d.type, GTK_MESSAGE_INFO);
    EXPECT_EQ(d.title + "|" + d.buttons.at(0), "About Trialix|OK");
    EXPECT_TRUE(d.modal && !d.parent);
    EXPECT_EQ(d.text.rfind("Trialix 1.0\n\n", 0), 0u) << d.text;
    EXPECT_GT(d.text.size(), std::string("Trialix 1.0\n\n").size());
}

// The settings as the program reads them at start-up, from the test run's
// own configuration directories (set up in main).
TEST_F(GuiTest, StartupWarnsWithoutSettingsAndReadsTheUsersFile)
{
    dialogs.plan(CLOSE_WINDOW);
    trialix_config();
    ASSERT_EQ(dialogs.seen.size(), 1u);
    const SeenDialog &d = dialogs.seen[0];
    EXPECT_EQ(d.text, "Can't find a valid entry in the registry\n\nFalling back to default "
                      "values\n\nCheck your installation\n\n");
    EXPECT_EQ(d.type, GTK_MESSAGE_WARNING);
    EXPECT_EQ(d.title + "|" + d.buttons.at(0), "Warning|OK");
    EXPECT_EQ(std::string(savedir) + "|" + prefix, ".|cat");

    std::string xdg = g_getenv("TRIALIX_TEST_XDG");
    std::string conf = xdg + "/config/trialix/trialix.conf";
    g_mkdir_with_parents((xdg + "/config/trialix").c_str(), 0755);
    write_file(conf, "[Trialix]\nexamdir=/srv/exams\nprefix=q\n");
    trialix_config();
    g_remove(conf.c_str());
    EXPECT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(std::string(examdir) + "|" + prefix + "|" + examconfig + "|" + savedir,
              "/srv/exams|q|.xconfig|" + xdg + "/Documents");
}

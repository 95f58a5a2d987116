#include "gui_util.h"

#include <glib/gstdio.h>

#include <initializer_list>
#include <set>

#include "app/config.h"
#include "app/functions.h"
#include "app/globals.h"
#include "app/menu.h"

using namespace gui;

static std::string catalogue_label(const std::string &name)
{
    return "  Start Practice Exam " + name + " ";
}

static GdkPixbuf *icon_of(const MenuEntry &e)
{
    GtkWidget *image = gtk_image_menu_item_get_image(GTK_IMAGE_MENU_ITEM(e.widget));
    return gtk_image_get_pixbuf(GTK_IMAGE(image));
}

// Builds a menu bar over the current examdir and keeps it until the test ends.
class MenuTest : public GuiTest {
protected:
    void build()
    {
        bar = createMenuBar();
        g_object_ref_sink(bar);
    }
    void TearDown() override
    {
        if (bar)
            gtk_widget_destroy(bar), g_object_unref(bar);
        GuiTest::TearDown();
    }
    std::vector<MenuEntry> exam_entries() { return menu_entries(exammenu); }
    GtkWidget *bar = nullptr;
};

TEST_F(MenuTest, ExamMenuLeftHelpMenuRight)
{
    build();
    std::vector<MenuEntry> top = menu_entries(bar);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0].label, "Exam");
    EXPECT_FALSE(top[0].mnemonic);
    EXPECT_FALSE(top[0].right_justified);
    EXPECT_EQ(gtk_menu_item_get_submenu(GTK_MENU_ITEM(top[0].widget)), exammenu);
    EXPECT_EQ(top[1].label, "Help");
    EXPECT_FALSE(top[1].mnemonic);
    EXPECT_TRUE(top[1].right_justified);

    std::vector<MenuEntry> help = menu_entries(gtk_menu_item_get_submenu(GTK_MENU_ITEM(top[1].widget)));
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(help[0].label, "About");
    EXPECT_FALSE(help[0].mnemonic);
    EXPECT_FALSE(help[0].has_image);
    EXPECT_TRUE(help[0].sensitive);
}

TEST_F(MenuTest, ExamMenuItemsLabelsIconsAndSensitivity)
{
    build();
    std::vector<MenuEntry> e = exam_entries();
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[0].widget, exam_open);
    EXPECT_EQ(e[0].label, "  _Open Exam       ");
    EXPECT_EQ(e[0].text, "  Open Exam       ");
    EXPECT_TRUE(e[0].mnemonic && e[0].sensitive && e[0].has_image);
    EXPECT_EQ(e[1].widget, exam_save);
    EXPECT_EQ(e[1].label, "  _Save Exam");
    EXPECT_TRUE(e[1].mnemonic && e[1].has_image);
    EXPECT_FALSE(e[1].sensitive);
    EXPECT_TRUE(e[2].separator);
    EXPECT_EQ(e[3].label, catalogue_label("demo"));
    EXPECT_FALSE(e[3].mnemonic);
    EXPECT_TRUE(e[3].sensitive && e[3].has_image);
    EXPECT_TRUE(e[4].separator);
    EXPECT_EQ(e[5].widget, exam_quit);
    EXPECT_EQ(e[5].label, "  _Quit");
    EXPECT_TRUE(e[5].mnemonic && e[5].sensitive && e[5].has_image);

    // Four different 16 x 16 icons with transparency, each item its own image.
    std::set<GdkPixbuf *> icons;
    std::set<GtkWidget *> images;
    for (size_t i : {0, 1, 3, 5}) {
        GdkPixbuf *icon = icon_of(e[i]);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(gdk_pixbuf_get_width(icon), 16);
        EXPECT_EQ(gdk_pixbuf_get_height(icon), 16);
        EXPECT_TRUE(gdk_pixbuf_get_has_alpha(icon));
        icons.insert(icon);
        images.insert(gtk_image_menu_item_get_image(GTK_IMAGE_MENU_ITEM(e[i].widget)));
        EXPECT_TRUE(gtk_image_menu_item_get_always_show_image(GTK_IMAGE_MENU_ITEM(e[i].widget)));
    }
    EXPECT_EQ(icons.size(), 4u);
    EXPECT_EQ(images.size(), 4u);
}

TEST_F(MenuTest, CatalogueListsDirectoriesNotHiddenOnesOrFiles)
{
    exams.mkdir("net1");
    exams.mkdir(".svn");
    exams.mkdir("old");
    exams.mkdir("my_exam");
    exams.write("readme.txt", "not an exam\n");
    build();
    EXPECT_TRUE(dialogs.seen.empty());

    // In the order the directory listing gives.
    std::vector<std::string> expected;
    GDir *dir = g_dir_open(examdir, 0, nullptr);
    while (const char *name = g_dir_read_name(dir))
        if (name[0] != '.' && std::string(name) != "readme.txt")
            expected.push_back(catalogue_label(name));
    g_dir_close(dir);
    ASSERT_EQ(expected.size(), 4u); // demo, net1, old, my_exam

    std::vector<MenuEntry> e = exam_entries();
    ASSERT_EQ(e.size(), 5u + expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_EQ(e[3 + i].label, expected[i]);
        EXPECT_EQ(e[3 + i].text, expected[i]) << "an underscore in a name is shown as it is";
    }

    // Choosing an exam hands its name to start_exam; this one has no
    // configuration file, which the start form warns about.
    dialogs.plan(GTK_RESPONSE_OK);
    for (size_t i = 0; i < expected.size(); i++)
        if (e[3 + i].label == catalogue_label("my_exam"))
            gtk_menu_item_activate(GTK_MENU_ITEM(e[3 + i].widget));
    EXPECT_STREQ(examname, "my_exam");
}

TEST_F(MenuTest, MissingExamRootWarnsOnceAndKeepsTheFileItems)
{
    g_strlcpy(examdir, exams.path("no-such-root").c_str(), sizeof examdir);
    dialogs.plan(GTK_RESPONSE_OK);
    build();
    ASSERT_EQ(dialogs.seen.size(), 1u);
    const SeenDialog &d = dialogs.seen[0];
    EXPECT_EQ(d.text, "There are no exam directories in " + exams.path("no-such-root") +
                          "\n\nThe simulation will not work!\n\nCheck your installation\n\n");
    EXPECT_EQ(d.type, GTK_MESSAGE_WARNING);
    EXPECT_EQ(d.title, "Warning");
    EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(d.modal);
    EXPECT_EQ(d.parent, nullptr);

    std::vector<MenuEntry> e = exam_entries();
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[0].widget, exam_open);
    EXPECT_EQ(e[1].widget, exam_save);
    EXPECT_FALSE(e[1].sensitive);
    EXPECT_TRUE(e[2].separator && e[3].separator);
    EXPECT_EQ(e[4].widget, exam_quit);
}

TEST_F(MenuTest, EmptyExamRootGivesTheSecondWarningOnly)
{
    g_strlcpy(examdir, exams.mkdir("empty").c_str(), sizeof examdir);
    exams.mkdir("empty/.hidden");
    exams.write("empty/notes", "");
    dialogs.plan(GTK_RESPONSE_OK);
    build();
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].text, "There are no exams in " + exams.path("empty") +
                                        "\n\nThe simulation will not work!\n\n"
                                        "Check your installation\n\n");
    EXPECT_EQ(dialogs.seen[0].title, "Warning");
    EXPECT_EQ(dialogs.seen[0].parent, nullptr);
    EXPECT_EQ(exam_entries().size(), 5u);
}

TEST_F(MenuTest, RunDisablesAllButSaveAndQuitAndEndRestores)
{
    exams.mkdir("net1");
    build();
    GtkWidget *about = gtk_menu_item_get_submenu(GTK_MENU_ITEM(menu_entries(bar)[1].widget));

    disable_exam_menus();
    for (const MenuEntry &e : exam_entries())
        EXPECT_EQ(e.sensitive, e.widget == exam_save || e.widget == exam_quit) << e.label;
    EXPECT_TRUE(menu_entries(about)[0].sensitive);

    enable_exam_menus();
    for (const MenuEntry &e : exam_entries())
        EXPECT_EQ(e.sensitive, e.widget != exam_save) << e.label;
    EXPECT_TRUE(menu_entries(about)[0].sensitive);
}

TEST_F(GuiTest, AboutBoxNamesVersionAndCredits)
{
    dialogs.plan(GTK_RESPONSE_OK);
    trialix_about(nullptr, nullptr);
    ASSERT_EQ(dialogs.seen.size(), 1u);
    const SeenDialog &d = dialogs.seen[0];
    EXPECT_EQ(d.type, GTK_MESSAGE_INFO);
    EXPECT_EQ(d.title, "About Trialix");
    EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(d.parent, nullptr);
    EXPECT_TRUE(d.modal);
    EXPECT_EQ(d.text.rfind("Trialix 1.0\n\n", 0), 0u) << d.text;
    EXPECT_GT(d.text.size(), std::string("Trialix 1.0\n\n").size());
}

// The settings as the program reads them at start-up, from the test run's
// own configuration directories (set up in main).
TEST_F(GuiTest, StartupWithoutSettingsWarnsAndKeepsDefaults)
{
    globals_reset();
    dialogs.plan(CLOSE_WINDOW);
    trialix_config();
    ASSERT_EQ(dialogs.seen.size(), 1u);
    const SeenDialog &d = dialogs.seen[0];
    EXPECT_EQ(d.text, "Can't find a valid entry in the registry\n\nFalling back to default "
                      "values\n\nCheck your installation\n\n");
    EXPECT_EQ(d.type, GTK_MESSAGE_WARNING);
    EXPECT_EQ(d.title, "Warning");
    EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(d.parent, nullptr);
    EXPECT_STREQ(savedir, ".");
    EXPECT_STREQ(prefix, "cat");
}

TEST_F(GuiTest, StartupReadsTheUsersSettingsFile)
{
    std::string xdg = g_getenv("TRIALIX_TEST_XDG");
    std::string conf = xdg + "/config/trialix/trialix.conf";
    g_mkdir_with_parents((xdg + "/config/trialix").c_str(), 0755);
    g_file_set_contents(conf.c_str(), "[Trialix]\nexamdir=/srv/exams\nprefix=q\n", -1, nullptr);
    trialix_config();
    g_remove(conf.c_str());
    EXPECT_TRUE(dialogs.seen.empty());
    EXPECT_STREQ(examdir, "/srv/exams");
    EXPECT_STREQ(prefix, "q");
    EXPECT_STREQ(examconfig, ".xconfig");
    EXPECT_EQ(std::string(savedir), xdg + "/Documents");
}

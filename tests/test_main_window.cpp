#include "gui_util.h"

#include "app/functions.h"
#include "app/globals.h"
#include "app/trialix.h"

using namespace gui;

TEST_F(GuiTest, MainWindowTitleSizeAndThreeChildren)
{
    build_main_window();
    ASSERT_NE(main_window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(main_window)), "Trialix 1.0");
    int w = 0, h = 0;
    gtk_window_get_size(GTK_WINDOW(main_window), &w, &h);
    EXPECT_EQ(std::to_string(w) + "x" + std::to_string(h), "640x480");
    std::vector<GtkWidget *> kids = children(gtk_bin_get_child(GTK_BIN(main_window)));
    ASSERT_EQ(kids.size(), 3u);
    EXPECT_TRUE(GTK_IS_MENU_BAR(kids[0]) && kids[1] == box2 && kids[2] == statusbar);
    for (GtkWidget *k : kids)
        EXPECT_TRUE(gtk_widget_get_visible(k));
    EXPECT_TRUE(children(box2).empty() && !frame && !bbox);
}

// The next screen takes the place of the last, and what belonged to the last
// goes with it. (Handler data left behind would fail the sanitizer build's
// leak check; the order of bar buttons packed from the end every screen's
// test reads.)
TEST_F(GuiTest, NextScreenReplacesTheLast)
{
    build_main_window();
    GtkWidget *first = gtk_frame_new(nullptr);
    cb_timer = gtk_check_button_new_with_label("Enable Timer");   // a form's check button
    gtk_container_add(GTK_CONTAINER(first), cb_timer);
    screen_put_up(first, screen_button_bar());
    g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer *>(&first));
    GtkWidget *second = gtk_frame_new(nullptr);
    gtk_container_add(GTK_CONTAINER(second), gtk_label_new("second screen"));
    screen_put_up(second, screen_button_bar());
    pump();
    EXPECT_TRUE(first == nullptr && cb_timer == nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(find_label(box2, "second screen")));
    EXPECT_EQ(children(box2), (std::vector<GtkWidget *>{frame, bbox}));
    // The frame takes the room; the bar sits below it.
    GtkAllocation fa, ba;
    gtk_widget_get_allocation(frame, &fa);
    gtk_widget_get_allocation(bbox, &ba);
    EXPECT_GE(ba.y, fa.y + fa.height);
    EXPECT_GT(fa.height, 300);
}

// Runs the main loop until `ender` has run, or fails after a second.
static bool main_loop_ends_by(GSourceFunc ender)
{
    static bool timed_out;
    timed_out = false;
    g_idle_add(ender, nullptr);
    guint guard = g_timeout_add(1000, [](gpointer) -> gboolean {
        timed_out = true;
        gtk_main_quit();
        return FALSE;
    }, nullptr);
    gtk_main();
    if (!timed_out)
        g_source_remove(guard);
    return !timed_out;
}

TEST_F(GuiTest, QuitAndClosingTheWindowEndTheMainLoop)
{
    build_main_window();
    EXPECT_TRUE(main_loop_ends_by([](gpointer) -> gboolean {
        gtk_menu_item_activate(GTK_MENU_ITEM(exam_quit));
        return FALSE;
    }));
    EXPECT_TRUE(main_loop_ends_by([](gpointer) -> gboolean {
        close_window(main_window);
        return FALSE;
    }));
}

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

TEST_F(GuiTest, NextScreenReplacesTheLastAndFreesItsHandlerData)
{
    build_main_window();
    static int freed;
    freed = 0;
    int clicks = 0;
    GtkWidget *bar = screen_button_bar();
    screen_add_button(bar, " A ", false, nullptr, nullptr);
    GtkWidget *b = screen_add_button(
        bar, " B ", false, [](GtkWidget *, void *data) { ++*static_cast<int *>(data); }, &clicks,
        [](gpointer, GClosure *) { freed++; });
    screen_add_button(bar, " C ", true, nullptr, nullptr);
    screen_add_button(bar, " D ", true, nullptr, nullptr);
    // A form's check button goes with its screen.
    GtkWidget *first = gtk_frame_new(nullptr);
    cb_timer = gtk_check_button_new_with_label("Enable Timer");
    gtk_container_add(GTK_CONTAINER(first), cb_timer);
    screen_put_up(first, bar);
    EXPECT_EQ(bar_labels(bbox), (std::vector<std::string>{" A ", " B ", " D ", " C "}));
    gtk_button_clicked(GTK_BUTTON(b));
    EXPECT_EQ(clicks, 1);

    g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer *>(&first));
    GtkWidget *second = gtk_frame_new(nullptr);
    gtk_container_add(GTK_CONTAINER(second), gtk_label_new("second screen"));
    screen_put_up(second, screen_button_bar());
    pump();
    EXPECT_EQ(first, nullptr) << "the first screen's frame was not destroyed";
    EXPECT_EQ(freed, 1) << "handler data must go with its button";
    EXPECT_EQ(cb_timer, nullptr);
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

#include "gui_util.h"

#include "app/functions.h"
#include "app/globals.h"
#include "app/trialix.h"

using namespace gui;

// How a box packs each child: "expand", "fill", "end" as they apply, and the padding.
static std::vector<std::string> packing(GtkWidget *box)
{
    std::vector<std::string> out;
    for (const BoxChild &k : box_children(box))
        out.push_back(std::string(k.expand ? "expand " : "") + (k.fill ? "fill " : "")
                      + (k.from_end ? "end " : "") + std::to_string(k.padding));
    return out;
}

TEST_F(GuiTest, MainWindowTitleSizeAndThreeChildren)
{
    build_main_window();
    ASSERT_NE(main_window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(main_window)), "Trialix 1.0");
    int w = 0, h = 0;
    gtk_window_get_size(GTK_WINDOW(main_window), &w, &h);
    EXPECT_EQ(std::to_string(w) + "x" + std::to_string(h), "640x480");

    GtkWidget *vbox = gtk_bin_get_child(GTK_BIN(main_window));
    std::vector<BoxChild> kids = box_children(vbox);
    ASSERT_EQ(kids.size(), 3u);
    EXPECT_TRUE(GTK_IS_MENU_BAR(kids[0].widget) && kids[1].widget == box2 && kids[2].widget == statusbar);
    EXPECT_EQ(packing(vbox), (std::vector<std::string>{"0", "expand fill 0", "0"}));
    for (const BoxChild &k : kids)
        EXPECT_TRUE(gtk_widget_get_visible(k.widget));
    EXPECT_TRUE(box_children(box2).empty() && !frame && !bbox);
}

// A screen as every screen builds one: a frame with a label and a bar.
static void show_screen(const char *text)
{
    GtkWidget *f = gtk_frame_new(nullptr);
    gtk_container_add(GTK_CONTAINER(f), gtk_label_new(text));
    GtkWidget *bar = screen_button_bar();
    screen_add_button(bar, " Left ", false, nullptr, nullptr);
    screen_put_up(f, bar);
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
    EXPECT_EQ(gtk_box_get_spacing(GTK_BOX(bar)), 5);
    EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(bar)), 7u);
    EXPECT_EQ(bar_labels(bbox), (std::vector<std::string>{" A ", " B ", " D ", " C "}));
    EXPECT_EQ(packing(bbox)[0], "2");
    gtk_button_clicked(GTK_BUTTON(b));
    EXPECT_EQ(clicks, 1);

    g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer *>(&first));
    show_screen("second screen");
    pump();
    EXPECT_EQ(first, nullptr) << "the first screen's frame was not destroyed";
    EXPECT_EQ(freed, 1) << "handler data must go with its button";
    EXPECT_EQ(cb_timer, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(find_label(box2, "second screen")));
    std::vector<BoxChild> kids = box_children(box2);
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_TRUE(kids[0].widget == frame && kids[1].widget == bbox);
    EXPECT_EQ(packing(box2), (std::vector<std::string>{"expand fill 10", "end 10"}));
    // The bar sits below the frame on screen.
    GtkAllocation fa, ba;
    gtk_widget_get_allocation(frame, &fa);
    gtk_widget_get_allocation(bbox, &ba);
    EXPECT_GE(ba.y, fa.y + fa.height);
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

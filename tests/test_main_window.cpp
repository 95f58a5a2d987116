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
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(main_window)), 0u);

    std::vector<BoxChild> kids = box_children(gtk_bin_get_child(GTK_BIN(main_window)));
    ASSERT_EQ(kids.size(), 3u);
    EXPECT_TRUE(GTK_IS_MENU_BAR(kids[0].widget));
    EXPECT_FALSE(kids[0].expand);
    EXPECT_EQ(kids[1].widget, box2);
    EXPECT_TRUE(kids[1].expand && kids[1].fill);
    EXPECT_EQ(kids[2].widget, statusbar);
    EXPECT_FALSE(kids[2].expand);
    for (const BoxChild &k : kids)
        EXPECT_TRUE(gtk_widget_get_visible(k.widget));

    EXPECT_TRUE(box_children(box2).empty());
    EXPECT_EQ(frame, nullptr);
    EXPECT_EQ(bbox, nullptr);
}

// A screen as every screen builds one: a frame with a label and a bar.
static void show_screen(const char *text, GtkWidget **check = nullptr)
{
    GtkWidget *f = gtk_frame_new(nullptr);
    gtk_container_set_border_width(GTK_CONTAINER(f), 7);
    GtkWidget *vbox = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(f), vbox);
    gtk_box_pack_start(GTK_BOX(vbox), gtk_label_new(text), FALSE, FALSE, 0);
    if (check) {
        *check = gtk_check_button_new_with_label("Enable Timer");
        gtk_box_pack_start(GTK_BOX(vbox), *check, FALSE, FALSE, 0);
    }
    GtkWidget *bar = screen_button_bar();
    screen_add_button(bar, " Left ", false, nullptr, nullptr);
    screen_add_button(bar, " Right ", true, nullptr, nullptr);
    screen_put_up(f, bar);
}

TEST_F(GuiTest, SecondScreenReplacesFirstCompletely)
{
    build_main_window();
    show_screen("first screen");
    GtkWidget *first_frame = frame;
    g_object_add_weak_pointer(G_OBJECT(first_frame), reinterpret_cast<gpointer *>(&first_frame));
    show_screen("second screen");
    pump();

    EXPECT_EQ(first_frame, nullptr) << "the first screen's frame was not destroyed";
    EXPECT_EQ(find_label(box2, "first screen"), nullptr);
    EXPECT_NE(find_label(box2, "second screen"), nullptr);

    std::vector<BoxChild> kids = box_children(box2);
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_EQ(kids[0].widget, frame);
    EXPECT_TRUE(kids[0].expand && kids[0].fill);
    EXPECT_EQ(kids[0].padding, 10u);
    EXPECT_EQ(kids[1].widget, bbox);
    EXPECT_TRUE(kids[1].from_end);
    EXPECT_FALSE(kids[1].expand || kids[1].fill);
    EXPECT_EQ(kids[1].padding, 10u);
    EXPECT_TRUE(gtk_widget_get_visible(find_label(box2, "second screen")));

    // The bar sits below the frame on screen.
    GtkAllocation fa, ba;
    gtk_widget_get_allocation(frame, &fa);
    gtk_widget_get_allocation(bbox, &ba);
    EXPECT_GE(ba.y, fa.y + fa.height);
}

TEST_F(GuiTest, ButtonBarOrderAndHandlerData)
{
    build_main_window();
    GtkWidget *bar = screen_button_bar();
    EXPECT_EQ(gtk_box_get_spacing(GTK_BOX(bar)), 5);
    EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(bar)), 7u);
    static int freed;
    freed = 0;
    auto handler = [](GtkWidget *, void *data) { ++*static_cast<int *>(data); };
    int clicks = 0;
    screen_add_button(bar, " A ", false, nullptr, nullptr);
    GtkWidget *b = screen_add_button(bar, " B ", false, handler, &clicks,
                                     [](gpointer, GClosure *) { freed++; });
    screen_add_button(bar, " C ", true, nullptr, nullptr);
    screen_add_button(bar, " D ", true, nullptr, nullptr);
    screen_put_up(gtk_frame_new(nullptr), bar);

    std::vector<BarButton> buttons = bar_buttons(bbox);
    ASSERT_EQ(buttons.size(), 4u);
    const char *order[] = {" A ", " B ", " D ", " C "};
    for (size_t i = 0; i < G_N_ELEMENTS(order); i++)
        EXPECT_EQ(buttons[i].label, order[i]);
    EXPECT_EQ(box_children(bbox)[0].padding, 2u);

    gtk_button_clicked(GTK_BUTTON(b));
    EXPECT_EQ(clicks, 1);
    screen_take_down();
    EXPECT_EQ(freed, 1) << "handler data must go with its button";
}

TEST_F(GuiTest, FormCheckButtonsFollowTheirScreen)
{
    build_main_window();
    GtkWidget *check = nullptr;
    show_screen("form", &check);
    cb_timer = check;
    // The next form makes its own check button before it goes up.
    GtkWidget *check2 = nullptr;
    GtkWidget *f = gtk_frame_new(nullptr);
    check2 = gtk_check_button_new_with_label("Enable Timer");
    gtk_container_add(GTK_CONTAINER(f), check2);
    cb_timer = check2;
    screen_put_up(f, screen_button_bar());
    EXPECT_EQ(cb_timer, check2);

    show_screen("no form");
    EXPECT_EQ(cb_timer, nullptr);
}

TEST_F(GuiTest, EmptyingTheWindowRestoresTheMenus)
{
    build_main_window();
    show_screen("form");
    disable_exam_menus();
    screen_empty();
    EXPECT_EQ(frame, nullptr);
    EXPECT_EQ(bbox, nullptr);
    EXPECT_TRUE(box_children(box2).empty());
    EXPECT_TRUE(is_sensitive(exam_open));
    EXPECT_FALSE(is_sensitive(exam_save));
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

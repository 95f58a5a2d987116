#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app/globals.h"
#include "app/trialix.h"

TEST(MainWindow, TitleSizeAndThreeChildren)
{
    globals_reset();
    trialix_create_main_window();
    ASSERT_NE(main_window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(main_window)), "Trialix 1.0");
    int w = 0, h = 0;
    gtk_window_get_size(GTK_WINDOW(main_window), &w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);

    GtkWidget *outer = gtk_bin_get_child(GTK_BIN(main_window));
    GList *kids = gtk_container_get_children(GTK_CONTAINER(outer));
    ASSERT_EQ(g_list_length(kids), 3u);
    EXPECT_TRUE(GTK_IS_MENU_BAR(g_list_nth_data(kids, 0)));
    EXPECT_EQ(g_list_nth_data(kids, 1), box2);
    EXPECT_EQ(g_list_nth_data(kids, 2), statusbar);
    g_list_free(kids);
    gtk_widget_destroy(main_window);
    globals_reset();
}

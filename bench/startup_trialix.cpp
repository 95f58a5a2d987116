// Trialix's own start-up (settings, main window with the exam catalogue),
// ended as soon as the main window is mapped, so that the whole run of the
// process is the start-up an examinee waits for.
#include <gtk/gtk.h>

#include "assemble.h"
#include "app/globals.h"
#include "app/trialix.h"

static gboolean on_map(GtkWidget *, GdkEvent *, gpointer)
{
    gtk_main_quit();
    return FALSE;
}

int main(int argc, char **argv)
{
    trialix_assemble();
    trialix_start(&argc, &argv);
    // The window is shown but not yet mapped: the server's answer comes
    // through the main loop.
    g_signal_connect(main_window, "map-event", G_CALLBACK(on_map), nullptr);
    gtk_main();
    return 0;
}

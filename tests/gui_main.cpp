// GUI tests need a display; without one they fail loudly instead of
// silently testing nothing.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "test_util.h"

int main(int argc, char **argv)
{
    // The user's own settings must not steer the tests: the settings
    // directories are empty ones of our own, set before GLib reads them.
    TempDir xdg;
    g_setenv("XDG_CONFIG_HOME", xdg.mkdir("config").c_str(), TRUE);
    g_setenv("XDG_CONFIG_DIRS", xdg.mkdir("etc-xdg").c_str(), TRUE);
    // Runs graded by the tests go into a results history of our own.
    g_setenv("XDG_DATA_HOME", xdg.mkdir("data").c_str(), TRUE);
    g_setenv("TRIALIX_TEST_XDG", xdg.path().c_str(), TRUE);
    // Runs keep recovery copies; the user's own must be neither seen nor touched.
    g_setenv("XDG_STATE_HOME", xdg.mkdir("state").c_str(), TRUE);
    // A documents folder the settings loader can find.
    xdg.write("config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + xdg.mkdir("Documents") + "\"\n");

    // Every test runs with the toolkit's accessibility support loaded, as a
    // screen reader has it, so that the accessible side of every screen is
    // exercised too.
    g_setenv("GTK_MODULES", "gail", TRUE);
    if (!gtk_init_check(&argc, &argv)) {
        g_printerr("GUI tests: no display (gtk_init_check failed); run them under xvfb-run\n");
        return 1;
    }
    // A critical from GTK or GLib is a fault of ours (a bad cast, a widget
    // used after it went): stop at it.
    g_log_set_always_fatal(GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_FATAL_MASK));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

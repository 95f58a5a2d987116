// GUI tests need a display; without one they fail loudly instead of
// silently testing nothing.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>

int main(int argc, char **argv)
{
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "GUI tests: no display (gtk_init_check failed); run them under xvfb-run\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

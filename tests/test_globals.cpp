#include <gtest/gtest.h>

#include "app/globals.h"

TEST(Globals, ResetRestoresInitialValues)
{
    training = 0;
    seconds = 5;
    reviewAll = 1;
    g_strlcpy(prefix, "quiz", sizeof prefix);
    globals_reset();
    EXPECT_EQ(training, 1);
    EXPECT_EQ(enableAnswer, 1);
    EXPECT_EQ(enableTimer, 0);
    EXPECT_EQ(seconds, 1800);
    EXPECT_EQ(reviewMarked, 1);
    EXPECT_EQ(reviewAll, 0);
    EXPECT_STREQ(prefix, "cat");
    EXPECT_STREQ(examconfig, ".xconfig");
    EXPECT_STREQ(savedir, ".");
    EXPECT_EQ(QP, nullptr);
}

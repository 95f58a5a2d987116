// The fixture of the recovery tests inside the program: a run of three
// items in memory, and helpers to start it and read its copy.
#pragma once

#include "gui_util.h"

#include <glib/gstdio.h>

#include <string>

#include "bank/recovery.h"
#include "grading/grade.h"
#include "grading/review.h"
#include "run/callback.h"
#include "run/owner.h"
#include "saved/recovery.h"
#include "saved/store.h"

class RecoveryTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        g_strlcpy(examname, "demo", sizeof examname);
        g_strlcpy(username, "Kim Park", sizeof username);
        run_of({make_item('S', 1, {"+Yes", "-No"}), make_item('M', 1, {"+A", "+B", "-C"}),
                make_item('F', 1, {"Paris"})});
    }

    // " Start Exam " of the resume form for the list in QP.
    static std::string start()
    {
        cb_load_start(nullptr, nullptr);
        gui::pump();
        return recovery_copy_path();
    }
    // The copy's list; *h its header.
    static question *copy_list(run_header *h = nullptr)
    {
        run_header header;
        gerror_ptr error;
        question *list = load_list_file(recovery_copy_path().c_str(), nullptr, &header, out_error(error));
        EXPECT_TRUE(list) << (error ? error->message : "");
        if (h)
            *h = header;
        return list;
    }
    // The change `change` makes waits for its second; then it is written once.
    static void written_once_after(const std::function<void()> &change)
    {
        int before = recovery_write_count();
        change();
        gui::pump();
        EXPECT_TRUE(recovery_write_waiting());
        EXPECT_EQ(recovery_write_count(), before);
        recovery_flush();
        EXPECT_EQ(recovery_write_count(), before + 1);
        EXPECT_FALSE(recovery_write_waiting());
    }
    // Lets the main loop run until `n` dialogs were answered (the notices
    // about the copy don't stop the run, so nothing waits for them).
    bool answered(size_t n)
    {
        gint64 end = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
        while (dialogs.seen.size() < n && g_get_monotonic_time() < end)
            gtk_main_iteration_do(FALSE), g_usleep(5000);
        return dialogs.seen.size() == n;
    }
    static std::vector<GtkWidget *> notices()
    {
        return gui::windows([](GtkWidget *w) { return GTK_IS_MESSAGE_DIALOG(w); });
    }
};


// Drives the real trialix in a process of its own through the GTK module
// tests/driver_module.cpp: by the labels on its screen, as a user would.
#pragma once

#include <gtest/gtest.h>
#include <glib.h>
#include <glib/gstdio.h>

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "test_util.h"

namespace proc {

inline const gint64 WAIT_USEC = 20 * G_USEC_PER_SEC;   // for one screen or one copy
inline const int POLL_MS = 20;

struct Widget {
    std::string kind, active, text;
    bool sensitive = false;
};
using Screen = std::vector<Widget>;

inline std::string trim(const std::string &s)
{
    size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

inline const Widget *find(const Screen &s, const std::string &kind, const std::string &text)
{
    for (const Widget &w : s)
        if (w.kind == kind && trim(w.text) == text)
            return &w;
    return nullptr;
}

// The text of the first label that contains `part`, or "".
inline std::string label_with(const Screen &s, const std::string &part)
{
    for (const Widget &w : s)
        if (w.kind == "label" && w.text.find(part) != std::string::npos)
            return w.text;
    return "";
}

inline std::vector<const Widget *> all(const Screen &s, const std::string &kind)
{
    std::vector<const Widget *> out;
    for (const Widget &w : s)
        if (w.kind == kind && trim(w.text) != "Mark Item for Review")
            out.push_back(&w);
    return out;
}

// "m:ss" or "m:s" after `lead` in `text`, in seconds; -1 when absent.
inline int seconds_after(const std::string &text, const std::string &lead)
{
    size_t at = text.find(lead);
    int m = 0, s = 0;
    if (at == std::string::npos || sscanf(text.c_str() + at + lead.size(), "%d:%d", &m, &s) != 2)
        return -1;
    return 60 * m + s;
}

// One trialix with its own home, settings, state and documents folders.
class Trialix {
public:
    explicit Trialix(const TempDir &root) : root_(root) {}
    ~Trialix() { stop(); }

    void start()
    {
        gchar **env = environment_in(root_, {{"GTK_MODULES", DRIVER_MODULE}, {"TRIALIX_DRIVER", root_ / "driver"}});
        char *argv[] = {const_cast<char *>(TRIALIX_PROGRAM), nullptr};
        GError *error = nullptr;
        bool ok = g_spawn_async(nullptr, argv, env, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
                                &pid_, &error);
        g_strfreev(env);
        ASSERT_TRUE(ok) << (error ? error->message : "");
        wait_for("the main window", [](const Screen &s) { return find(s, "window", "Trialix 1.0"); });
    }

    // Ends it with `signal` (SIGKILL: as a crash would) and reaps it.
    void stop(int signal = SIGTERM)
    {
        if (pid_ <= 0)
            return;
        kill(pid_, signal);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

    // Waits for the program to end by itself; its exit status, or -1 when
    // it didn't end in time or ended by a signal.
    int wait_exit()
    {
        gint64 end = g_get_monotonic_time() + WAIT_USEC;
        while (pid_ > 0 && g_get_monotonic_time() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            g_usleep(POLL_MS * 1000);
        }
        return -1;
    }

    // Sends one command; false when the program found nothing to act on.
    bool request(const std::string &command, const std::string &arg, Screen *screen = nullptr)
    {
        std::string seq = std::to_string(++seq_), answer = root_ / "driver";
        std::string req = seq + "\t" + command + "\t" + arg;
        write_file(answer + ".tmp-req", req);
        g_rename((answer + ".tmp-req").c_str(), (answer + ".req").c_str());
        gint64 end = g_get_monotonic_time() + WAIT_USEC;
        while (g_get_monotonic_time() < end) {
            std::string text = read_file(answer);
            if (g_str_has_prefix(text.c_str(), (seq + "\t").c_str())) {
                if (screen)
                    *screen = parse(text);
                return text.compare(seq.size() + 1, 2, "ok") == 0;
            }
            g_usleep(POLL_MS * 1000);
        }
        ADD_FAILURE() << "trialix did not answer " << req;
        return false;
    }

    Screen dump()
    {
        Screen s;
        request("dump", "", &s);
        return s;
    }

    Screen wait_for(const std::string &what, const std::function<bool(const Screen &)> &ok)
    {
        gint64 end = g_get_monotonic_time() + WAIT_USEC;
        Screen s;
        while (g_get_monotonic_time() < end && !::testing::Test::HasFatalFailure()) {
            s = dump();
            if (ok(s))
                return s;
            g_usleep(POLL_MS * 1000);
        }
        ADD_FAILURE() << "waited in vain for " << what;
        return s;
    }

    // Acts as soon as the widget is there to act on.
    void act(const std::string &command, const std::string &arg)
    {
        gint64 end = g_get_monotonic_time() + WAIT_USEC;
        while (g_get_monotonic_time() < end && !::testing::Test::HasFatalFailure()) {
            if (request(command, arg))
                return;
            g_usleep(POLL_MS * 1000);
        }
        ADD_FAILURE() << "nothing to " << command << " " << arg;
    }
    void click(const std::string &label) { act("click", label); }

private:
    static Screen parse(const std::string &text)
    {
        Screen s;
        gchar **lines = g_strsplit(text.c_str(), "\n", -1);
        for (gchar **l = lines + 1; *l && **l; l++) {
            gchar **f = g_strsplit(*l, "\t", 4);
            if (g_strv_length(f) == 4)
                s.push_back({f[0], f[2], f[3], f[1][0] == '1'});
            g_strfreev(f);
        }
        g_strfreev(lines);
        return s;
    }

    const TempDir &root_;
    GPid pid_ = 0;
    int seq_ = 0;
};


} // namespace proc

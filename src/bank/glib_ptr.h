// Owners of GLib objects that free them however a function is left.
#pragma once

#include <glib.h>

#include <memory>

struct g_free_deleter {
    void operator()(void *p) const { g_free(p); }
};
struct g_error_deleter {
    void operator()(GError *e) const { g_error_free(e); }
};
struct g_dir_deleter {
    void operator()(GDir *d) const { g_dir_close(d); }
};
struct g_key_file_deleter {
    void operator()(GKeyFile *k) const { g_key_file_free(k); }
};

using gchar_ptr = std::unique_ptr<gchar, g_free_deleter>;
using gerror_ptr = std::unique_ptr<GError, g_error_deleter>;
using gdir_ptr = std::unique_ptr<GDir, g_dir_deleter>;
using gkeyfile_ptr = std::unique_ptr<GKeyFile, g_key_file_deleter>;

// Hands a GError** to a GLib call and keeps what it sets:
// `g_call(..., out_error(err))`. Several in one expression keep the error
// that was set, whatever order they go in.
struct out_error {
    gerror_ptr &owner;
    GError *raw = nullptr;
    explicit out_error(gerror_ptr &o) : owner(o) {}
    ~out_error()
    {
        if (raw)
            owner.reset(raw);
    }
    operator GError **() { return &raw; }
};

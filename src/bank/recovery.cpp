#include "bank/recovery.h"

#include <glib/gstdio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <sys/locking.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

#include "bank/glib_ptr.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif

static const char COPY_END[] = ".trx";
static const char LOCK_END[] = ".lock";
// Enough for every save in one minute of a day; a folder that full is a fault.
enum { MAX_SET_ASIDE_NAMES = 1000 };
// A new lock file is lost only to a scan that finds it in the instant
// before it is locked; more than a few such losses in a row is a fault.
enum { MAX_CLAIM_TRIES = 8 };

std::string recovery_dir(void)
{
    gchar_ptr dir(g_build_filename(g_get_user_state_dir(), "trialix", "recovery", nullptr));
    return dir.get();
}

static bool try_lock(int fd)
{
#ifdef _WIN32
    return _locking(fd, _LK_NBLCK, 1) == 0;
#else
    return flock(fd, LOCK_EX | LOCK_NB) == 0;
#endif
}

// Another program may have removed the lock file between our open and our
// lock: a lock on a file that is no longer at its path guards nothing.
static bool still_there(int fd, const std::string &path)
{
#ifdef _WIN32
    (void)fd;
    return g_file_test(path.c_str(), G_FILE_TEST_EXISTS);
#else
    GStatBuf held, named;
    return fstat(fd, &held) == 0 && g_stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
#endif
}

static std::string with_end(const std::string &path, const char *from, const char *to)
{
    return path.substr(0, path.size() - strlen(from)) + to;
}

bool recovery_claim(const std::string &dir, recovery_slot *slot, std::string *error)
{
    if (g_mkdir_with_parents(dir.c_str(), 0700) != 0) {
        *error = dir + ": " + g_strerror(errno);
        return false;
    }
    std::string name = "run-" + std::to_string((long)getpid()) + "-XXXXXX" + LOCK_END;
    for (int tries = 0; tries < MAX_CLAIM_TRIES; tries++) {
        gchar_ptr pattern(g_build_filename(dir.c_str(), name.c_str(), nullptr));
        int fd = g_mkstemp_full(pattern.get(), O_RDWR | O_BINARY, 0600);
        if (fd < 0) {
            *error = std::string(pattern.get()) + ": " + g_strerror(errno);
            return false;
        }
        std::string lock = pattern.get();
        // A scan of another program may take a fresh lock file for one
        // left behind and remove it; then the claim starts over.
        if (!try_lock(fd) || !still_there(fd, lock)) {
            g_close(fd, nullptr);
            continue;
        }
        recovery_release(slot);
        slot->lock = lock;
        slot->copy = with_end(lock, LOCK_END, COPY_END);
        slot->fd = fd;
        return true;
    }
    *error = dir + ": no lock file could be locked";
    return false;
}

void recovery_release(recovery_slot *slot)
{
    if (slot->fd >= 0)
        g_close(slot->fd, nullptr);
    slot->fd = -1;
}

void recovery_discard(recovery_slot *slot)
{
    if (!slot->copy.empty())
        g_unlink(slot->copy.c_str());
#ifdef _WIN32
    // Windows keeps an open file in place.
    recovery_release(slot);
    if (!slot->lock.empty())
        g_unlink(slot->lock.c_str());
#else
    // Removed while still locked, so no scan takes it in between.
    if (!slot->lock.empty())
        g_unlink(slot->lock.c_str());
    recovery_release(slot);
#endif
    slot->copy.clear();
    slot->lock.clear();
}

// Takes the lock of the slot whose lock file is `lock`: false when its
// program still holds it.
static bool take_left(const std::string &lock, recovery_slot *slot)
{
    int fd = g_open(lock.c_str(), O_RDWR | O_CREAT | O_BINARY, 0600);
    if (fd < 0)
        return false;
    if (!try_lock(fd) || !still_there(fd, lock)) {
        g_close(fd, nullptr);
        return false;
    }
    slot->lock = lock;
    slot->copy = with_end(lock, LOCK_END, COPY_END);
    slot->fd = fd;
    return true;
}

std::vector<recovery_slot> recovery_find_left(const std::string &dir)
{
    std::vector<recovery_slot> found;
    gdir_ptr d(g_dir_open(dir.c_str(), 0, nullptr));
    if (!d)
        return found;
    std::vector<std::string> names;
    while (const char *name = g_dir_read_name(d.get()))
        if (g_str_has_prefix(name, "run-"))
            names.push_back(name);
    for (const std::string &name : names) {
        gchar_ptr path(g_build_filename(dir.c_str(), name.c_str(), nullptr));
        std::string p = path.get();
        bool copy = g_str_has_suffix(name.c_str(), COPY_END);
        if (!copy && !g_str_has_suffix(name.c_str(), LOCK_END))
            continue;
        std::string lock = copy ? with_end(p, COPY_END, LOCK_END) : p;
        // A lock file with a copy beside it is taken up with the copy.
        if (!copy && g_file_test(with_end(p, LOCK_END, COPY_END).c_str(), G_FILE_TEST_EXISTS))
            continue;
        recovery_slot slot;
        if (!take_left(lock, &slot))
            continue;
        GStatBuf st;
        if (!copy || g_stat(slot.copy.c_str(), &st) != 0) {
            // No copy (any more): the program went before writing one, or
            // ended its run while we looked.
            recovery_discard(&slot);
            continue;
        }
        slot.mtime = (gint64)st.st_mtime * G_USEC_PER_SEC;
        found.push_back(slot);
    }
    std::stable_sort(found.begin(), found.end(), [](const recovery_slot &a, const recovery_slot &b) {
        return a.mtime > b.mtime;
    });
    return found;
}

static bool write_all(int fd, const gchar *data, gsize size)
{
    while (size > 0) {
        gssize n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= (gsize)n;
    }
    return true;
}

std::string recovery_set_aside(const char *from, const char *dir, const char *name,
                               std::string *error)
{
    gchar *raw = nullptr;
    gsize size = 0;
    gerror_ptr err;
    if (!g_file_get_contents(from, &raw, &size, out_error(err))) {
        *error = err->message;
        return "";
    }
    gchar_ptr contents(raw);
    for (int n = 1; n <= MAX_SET_ASIDE_NAMES; n++) {
        std::string base = n == 1 ? std::string(name) : std::string(name) + "-" + std::to_string(n);
        gchar_ptr path(g_build_filename(dir, base.c_str(), nullptr));
        int fd = g_open(path.get(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            *error = std::string(path.get()) + ": " + g_strerror(errno);
            return "";
        }
        bool ok = write_all(fd, contents.get(), size);
#ifndef _WIN32
        ok = ok && fsync(fd) == 0;
#endif
        int e = errno;
        ok = g_close(fd, nullptr) && ok;
        if (!ok) {
            g_unlink(path.get());
            *error = std::string(path.get()) + ": " + g_strerror(e);
            return "";
        }
        g_unlink(from);
        return path.get();
    }
    *error = std::string(dir) + ": every name for " + name + " is taken";
    return "";
}

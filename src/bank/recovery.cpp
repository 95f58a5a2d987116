#include "bank/recovery.h"

#include <glib/gstdio.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <sys/locking.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

#include "bank/buffer.h"
#include "bank/error.h"
#include "bank/glib_ptr.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif

static const char COPY_END[] = ".trx";
static const char LOCK_END[] = ".lock";
static const char SET_ASIDE_END[] = ".not-a-copy";
// What a write cut short leaves: recovery_write's, and GIO's (through which
// earlier versions wrote the copies).
static const char PART_START[] = ".part-";
static const char *const LEFTOVER_STARTS[] = {PART_START, ".goutputstream-"};
// Enough for every save in one minute of a day; a folder that full is a fault.
enum { MAX_SET_ASIDE_NAMES = 1000 };
// A new lock file is lost only to a scan that finds it in the instant
// before it is locked; more than a few such losses in a row is a fault.
enum { MAX_CLAIM_TRIES = 8 };

// GLib's stat buffer is _stat64 on 64-bit Windows, where fstat takes another.
static int fd_stat(int fd, GStatBuf *st)
{
#ifdef _WIN32
    return _fstat64(fd, st);
#else
    return fstat(fd, st);
#endif
}

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
    return fd_stat(fd, &held) == 0 && g_stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
#endif
}

static std::string with_end(const std::string &path, const char *from, const char *to)
{
    return path.substr(0, path.size() - strlen(from)) + to;
}

bool recovery_claim(const std::string &dir, recovery_slot *slot, GError **error)
{
    if (g_mkdir_with_parents(dir.c_str(), 0700) != 0) {
        trialix_set_error(error, TRIALIX_ERROR_WRITE, dir + ": " + g_strerror(errno));
        return false;
    }
    std::string name = "run-" + std::to_string((long)getpid()) + "-XXXXXX" + LOCK_END;
    for (int tries = 0; tries < MAX_CLAIM_TRIES; tries++) {
        gchar_ptr pattern(g_build_filename(dir.c_str(), name.c_str(), nullptr));
        int fd = g_mkstemp_full(pattern.get(), O_RDWR | O_BINARY, 0600);
        if (fd < 0) {
            trialix_set_error(error, TRIALIX_ERROR_WRITE,
                              std::string(pattern.get()) + ": " + g_strerror(errno));
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
    trialix_set_error(error, TRIALIX_ERROR_BUSY, dir + ": no lock file could be locked");
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

static bool is_regular(int fd)
{
    GStatBuf st;
    return fd_stat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

// Opens the lock of a slot left behind, never through a link nor into a
// FIFO. In a folder that can't be written the lock file is opened as it
// is; where there is none the copy itself is locked in its place, as
// every program does there. *locked is the path opened.
static int open_left_lock(const std::string &lock, const std::string &copy, std::string *locked)
{
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_BINARY;
    *locked = lock;
    int fd = g_open(lock.c_str(), O_RDWR | O_CREAT | flags, 0600);
    if (fd < 0 && (errno == EROFS || errno == EACCES || errno == EPERM)) {
        fd = g_open(lock.c_str(), O_RDONLY | flags, 0);
        if (fd < 0 && errno == ENOENT) {
            *locked = copy;
            fd = g_open(copy.c_str(), O_RDONLY | flags, 0);
        }
    }
    if (fd >= 0 && !is_regular(fd)) {
        g_close(fd, nullptr);
        fd = -1;
    }
    return fd;
}

// Takes the lock of the slot whose lock file is `lock`: false when its
// program still holds it.
static bool take_left(const std::string &lock, recovery_slot *slot)
{
    std::string copy = with_end(lock, LOCK_END, COPY_END), locked;
    int fd = open_left_lock(lock, copy, &locked);
    if (fd < 0)
        return false;
    if (!try_lock(fd) || !still_there(fd, locked)) {
        g_close(fd, nullptr);
        return false;
    }
    slot->lock = lock;
    slot->copy = copy;
    slot->fd = fd;
    return true;
}

// Whether the entry at `path` (not followed) can be a copy or a lock of
// ours: a regular file, and for a copy no larger than a run can leave.
static bool could_be_ours(const std::string &path, bool copy)
{
    GStatBuf st;
    if (g_lstat(path.c_str(), &st) != 0)
        return true;   // gone meanwhile: nothing to set aside
    return S_ISREG(st.st_mode) && (!copy || (long long)st.st_size <= RECOVERY_MAX_COPY);
}

// Renames `path` to a name that no scan takes and no file has.
static bool set_aside_name(const std::string &path)
{
    for (int n = 1; n <= MAX_SET_ASIDE_NAMES; n++) {
        std::string to = path + SET_ASIDE_END + (n == 1 ? "" : "-" + std::to_string(n));
        GStatBuf st;
        if (g_lstat(to.c_str(), &st) == 0)
            continue;
        return g_rename(path.c_str(), to.c_str()) == 0;
    }
    return false;
}

std::vector<std::string> recovery_tidy(const std::string &dir)
{
    std::vector<std::string> set_aside, names;
    gdir_ptr d(g_dir_open(dir.c_str(), 0, nullptr));
    if (!d)
        return set_aside;
    while (const char *name = g_dir_read_name(d.get()))
        names.push_back(name);
    gint64 now = g_get_real_time() / G_USEC_PER_SEC;
    for (const std::string &name : names) {
        std::string path = gchar_ptr(g_build_filename(dir.c_str(), name.c_str(), nullptr)).get();
        GStatBuf st;
        if (std::any_of(std::begin(LEFTOVER_STARTS), std::end(LEFTOVER_STARTS),
                        [&](const char *start) { return g_str_has_prefix(name.c_str(), start); })) {
            if (g_lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                now - (gint64)st.st_mtime >= RECOVERY_LEFTOVER_AGE)
                g_unlink(path.c_str());
            continue;
        }
        if (!g_str_has_prefix(name.c_str(), "run-"))
            continue;
        bool copy = g_str_has_suffix(name.c_str(), COPY_END);
        if (!copy && !g_str_has_suffix(name.c_str(), LOCK_END))
            continue;
        if (!could_be_ours(path, copy) && set_aside_name(path))
            set_aside.push_back(path);
    }
    return set_aside;
}

std::vector<recovery_slot> recovery_find_left(const std::string &dir,
                                              std::vector<std::string> *set_aside)
{
    std::vector<std::string> aside = recovery_tidy(dir);
    if (set_aside)
        set_aside->insert(set_aside->end(), aside.begin(), aside.end());
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
        // What could not be set aside is left alone.
        if (!could_be_ours(p, copy))
            continue;
        std::string lock = copy ? with_end(p, COPY_END, LOCK_END) : p;
        // A lock file with a copy beside it is taken up with the copy.
        if (!copy && g_file_test(with_end(p, LOCK_END, COPY_END).c_str(), G_FILE_TEST_EXISTS))
            continue;
        recovery_slot slot;
        if (!take_left(lock, &slot))
            continue;
        GStatBuf st;
        if (!copy || g_lstat(slot.copy.c_str(), &st) != 0) {
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

FILE *recovery_open_copy(const std::string &path, GError **error)
{
    FILE *f = open_regular_file(path.c_str(), error, false);
    GStatBuf st;
    if (f && fd_stat(fileno(f), &st) == 0 && (long long)st.st_size > RECOVERY_MAX_COPY) {
        fclose(f);
        trialix_set_error(error, TRIALIX_ERROR_TOO_LARGE, "larger than a run can leave");
        return nullptr;
    }
    return f;
}

bool recovery_dir_writable(const std::string &dir, GError **error)
{
#ifdef _WIN32
    if (g_access(dir.c_str(), W_OK) == 0)
        return true;
#else
    // As the program writes: with its effective ids.
    if (faccessat(AT_FDCWD, dir.c_str(), W_OK, AT_EACCESS) == 0)
        return true;
#endif
    trialix_set_error(error, TRIALIX_ERROR_WRITE, dir + ": " + g_strerror(errno));
    return false;
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
                               GError **error)
{
    FILE *f = recovery_open_copy(from, error);
    if (!f) {
        g_prefix_error(error, "%s: ", from);
        return "";
    }
    std::string contents;
    char chunk[65536];
    size_t n;
    // The cap holds however the file grows while it is read.
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0 &&
           contents.size() + n <= (size_t)RECOVERY_MAX_COPY)
        contents.append(chunk, n);
    bool read_ok = !ferror(f) && n == 0;
    fclose(f);
    if (!read_ok) {
        trialix_set_error(error, TRIALIX_ERROR_READ, std::string(from) + ": not read to its end");
        return "";
    }
    size_t size = contents.size();
    for (int n = 1; n <= MAX_SET_ASIDE_NAMES; n++) {
        std::string base = n == 1 ? std::string(name) : std::string(name) + "-" + std::to_string(n);
        gchar_ptr path(g_build_filename(dir, base.c_str(), nullptr));
        int fd = g_open(path.get(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            trialix_set_error(error, TRIALIX_ERROR_WRITE,
                              std::string(path.get()) + ": " + g_strerror(errno));
            return "";
        }
        bool ok = write_all(fd, contents.data(), size);
#ifndef _WIN32
        ok = ok && fsync(fd) == 0;
#endif
        int e = errno;
        ok = g_close(fd, nullptr) && ok;
        if (!ok) {
            g_unlink(path.get());
            trialix_set_error(error, TRIALIX_ERROR_WRITE, std::string(path.get()) + ": " + g_strerror(e));
            return "";
        }
        g_unlink(from);
        return path.get();
    }
    trialix_set_error(error, TRIALIX_ERROR_WRITE,
                      std::string(dir) + ": every name for " + name + " is taken");
    return "";
}

// Every byte of `size` at `data` into fd; false with errno set when not.
static bool write_all(int fd, const unsigned char *data, size_t size)
{
    while (size > 0) {
        auto n = write(fd, data, (unsigned)std::min(size, (size_t)INT_MAX));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= (size_t)n;
    }
    return true;
}

bool recovery_write(const std::string &path, question *list, const run_header &h,
                    GError **error)
{
    gchar_ptr dir(g_path_get_dirname(path.c_str()));
    std::string part = gchar_ptr(g_build_filename(dir.get(), PART_START, nullptr)).get() + std::string("XXXXXX");
    auto fail = [&](const std::string &where, int err) {
        trialix_set_error(error, TRIALIX_ERROR_WRITE, where + ": " + g_strerror(err));
        return false;
    };
    int fd = g_mkstemp_full(&part[0], O_WRONLY | O_BINARY, 0600);
    if (fd < 0)
        return fail(path, errno);
    bool ok = put_list_file(list, h, [fd](const unsigned char *data, size_t size) {
        return write_all(fd, data, size);
    }) > 0;
    // On the disk before it replaces the old copy, or a power cut could
    // leave an empty file in its place.
    ok = ok && g_fsync(fd) == 0;
    int err = ok ? 0 : errno;
    if (close(fd) != 0 && ok)
        ok = false, err = errno;
    if (ok && g_rename(part.c_str(), path.c_str()) != 0)
        ok = false, err = errno;
    if (!ok) {
        g_unlink(part.c_str());
        return fail(path, err);
    }
    return true;
}

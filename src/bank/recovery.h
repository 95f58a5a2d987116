// Recovery copies of running exams: where they live, how a program claims
// one, and how the copies of programs that are gone are found.
//
// Every program that runs an exam has a slot of its own in the recovery
// folder: a lock file run-<pid>-XXXXXX.lock, locked for as long as the
// program holds the slot, and beside it the copy run-<pid>-XXXXXX.trx in
// the saved exam format. The kernel drops the lock with the program
// however it ends (Quit, a crash, SIGKILL), so a copy whose lock can be
// taken belongs to nobody any more.
#pragma once

#include <glib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bank/question.h"
#include "bank/saved_file.h"

// A slot: the copy's path, its lock file's path and the open, locked lock
// file (-1 when none is held).
struct recovery_slot {
    std::string copy;
    std::string lock;
    int fd = -1;
    gint64 mtime = 0;   // found copies: when the copy was last written (microseconds)
};

// The recovery folder: "trialix/recovery" in the user's state folder.
std::string recovery_dir(void);

// Creates `dir` when missing and claims a new slot in it: a lock file of a
// name no other slot has, locked. False with *error when that fails
// (TRIALIX_ERROR_WRITE; TRIALIX_ERROR_BUSY when no lock file could be
// locked).
bool recovery_claim(const std::string &dir, recovery_slot *slot, GError **error);
// Lets the slot go: the lock is released, the files stay.
void recovery_release(recovery_slot *slot);
// Removes the slot's copy and then its lock file, and lets the slot go.
void recovery_discard(recovery_slot *slot);

// The largest copy a run can leave: a header and MAX_RUN_ITEMS items.
constexpr long long RECOVERY_MAX_COPY = (long long)(1 + MAX_RUN_ITEMS) * RECORD_SIZE;

// The copies in `dir` whose program is gone, newest first, each with its
// lock now held by the caller. Lock files left without a copy by a program
// that is gone are removed. The folder is tidied first (recovery_tidy);
// what that set aside is added to *set_aside when given.
std::vector<recovery_slot> recovery_find_left(const std::string &dir,
                                              std::vector<std::string> *set_aside = nullptr);

// Tidies `dir` before its copies are looked at. What a write cut short
// left (".part-*" of recovery_write, GIO's ".goutputstream-*" of earlier
// versions, untouched for RECOVERY_LEFTOVER_AGE
// seconds, so no write of a running program loses its file) is removed.
// A run-*.trx or run-*.lock that is no copy or lock of ours (not a regular
// file: a link, FIFO, folder, device; or a copy larger than
// RECOVERY_MAX_COPY) is renamed to NAME.not-a-copy, which no scan takes,
// so it is met once; one that can't be renamed is skipped by every scan.
// Returns the old paths of what was set aside.
std::vector<std::string> recovery_tidy(const std::string &dir);
enum { RECOVERY_LEFTOVER_AGE = 60 };

// Opens a copy for reading as a saved exam: a regular file itself (a link
// is not followed), opened without waiting (a FIFO would block), of at
// most RECOVERY_MAX_COPY bytes. None, with *error (why alone, without the
// path; codes as open_regular_file's, or TRIALIX_ERROR_TOO_LARGE), for
// anything else.
FILE *recovery_open_copy(const std::string &path, GError **error);

// Whether copies can be written and removed in `dir`; *error
// (TRIALIX_ERROR_WRITE) when not.
bool recovery_dir_writable(const std::string &dir, GError **error);

// Writes the run `list` with header h as the copy `path`, in the saved
// exam format: into a new file beside it, synced, then renamed over it,
// so that the copy is always whole. A failure leaves the old copy as it
// was; false with *error (TRIALIX_ERROR_WRITE). Written without GIO: the copy is written after
// every burst of changes, and GIO's file machinery is most of a megabyte
// of the process's memory that nothing else of a run needs.
bool recovery_write(const std::string &path, question *list, const run_header &h,
                    GError **error);

// Copies the copy `from` (opened as recovery_open_copy does) into `dir` as
// `name`, or name-2, name-3 ... when that is taken (no file is ever
// replaced), and removes `from` once the copy is whole. Returns the new
// path, or "" with *error ("PATH: why").
std::string recovery_set_aside(const char *from, const char *dir, const char *name,
                               GError **error);

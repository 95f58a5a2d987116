// How the core reports a failure: as GLib's own libraries do, a GError in
// the TRIALIX_ERROR domain with one of the codes below, through a
// `GError **error` that is the function's last parameter (none when the
// caller doesn't want to know). The core never prints; whoever called it
// shows the message (error->message) in a dialog or on a command line.
#pragma once

#include <glib.h>

#include <string>

#define TRIALIX_ERROR (trialix_error_quark())
GQuark trialix_error_quark(void);

// A decompression that failed: the code is libbzip2's return value
// (BZ_DATA_ERROR_MAGIC and the others, all negative).
#define TRIALIX_BZIP2_ERROR (trialix_bzip2_error_quark())
GQuark trialix_bzip2_error_quark(void);

enum trialix_error_code {
    TRIALIX_ERROR_MISSING,      // no such file
    TRIALIX_ERROR_OPEN,         // there, but it can't be opened (permissions, ...)
    TRIALIX_ERROR_NOT_REGULAR,  // a folder, FIFO, device or link where a file belongs
    TRIALIX_ERROR_READ,         // there, but not read
    TRIALIX_ERROR_WRITE,        // not written (or not removed, renamed, made)
    TRIALIX_ERROR_TOO_LARGE,    // over the size the program reads or writes
    TRIALIX_ERROR_TOO_LONG,     // a path over MAX_PATH_CHARS
    TRIALIX_ERROR_NO_MEMORY,    // a block could not be had
    TRIALIX_ERROR_COMPRESS,     // the compressor failed
    TRIALIX_ERROR_FORMAT,       // not what a file of its kind holds
    TRIALIX_ERROR_NO_ITEMS,     // not one item to run
    TRIALIX_ERROR_MARKUP,       // text that isn't valid markup
    TRIALIX_ERROR_UNSAFE_MARKUP,// valid markup too large to show
    TRIALIX_ERROR_BUSY,         // another program holds the file
    TRIALIX_ERROR_NEWER,        // written by a newer program
    TRIALIX_ERROR_DATABASE,     // the history's database failed otherwise
    TRIALIX_ERROR_OUTSIDE,      // a path that leaves the folder it must stay in
    TRIALIX_ERROR_DAMAGED,      // of its kind, but broken
};

// Sets *error, when error is given, to `message` in TRIALIX_ERROR.
void trialix_set_error(GError **error, trialix_error_code code, const std::string &message);

#include "bank/buffer.h"

#include <bzlib.h>
#include <glib.h>
#include <glib/gstdio.h>

#include "bank/error.h"
#include "bank/glib_ptr.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif

void free_membuf(membuf *b)
{
    if (!b)
        return;
    free(b->data);
    delete b;
}

int fileexists(const char *path)
{
    int fd = path ? g_open(path, O_RDONLY | O_BINARY | O_NONBLOCK, 0) : -1;
    if (fd < 0)
        return 0;
    g_close(fd, nullptr);
    return 1;
}

FILE *open_regular_file(const char *path, GError **error, bool follow_link)
{
    auto fail = [&](int e) -> FILE * {
        trialix_set_error(error, e == ENOENT ? TRIALIX_ERROR_MISSING : TRIALIX_ERROR_OPEN,
                          g_strerror(e));
        return nullptr;
    };
    if (!path)
        return fail(ENOENT);
    int fd = g_open(path, O_RDONLY | O_BINARY | O_NONBLOCK | (follow_link ? 0 : O_NOFOLLOW), 0);
    if (fd < 0) {
        int e = errno;
        // O_NOFOLLOW refuses a link with ELOOP, which says nothing to a reader.
        if (e == ELOOP && !follow_link) {
            trialix_set_error(error, TRIALIX_ERROR_NOT_REGULAR, "a link, not a file");
            return nullptr;
        }
#ifdef _WIN32
        // Windows won't open a directory at all; it is still no file.
        if (g_file_test(path, G_FILE_TEST_IS_DIR)) {
            trialix_set_error(error, TRIALIX_ERROR_NOT_REGULAR, "not a regular file");
            return nullptr;
        }
#endif
        return fail(e);
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || (st.st_mode & S_IFMT) != S_IFREG) {
        g_close(fd, nullptr);
        trialix_set_error(error, TRIALIX_ERROR_NOT_REGULAR, "not a regular file");
        return nullptr;
    }
#ifndef _WIN32
    // Reads of a regular file never wait anyway; plain blocking stdio.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
    FILE *f = fdopen(fd, "rb");
    if (!f) {
        int e = errno;
        g_close(fd, nullptr);
        return fail(e);
    }
    return f;
}

bool read_regular_file(const char *path, std::string *contents, size_t max_size,
                       GError **error)
{
    FILE *f = open_regular_file(path, error);
    if (!f)
        return false;
    std::unique_ptr<FILE, int (*)(FILE *)> closer(f, fclose);
    auto too_large = [&] {
        bool mib = max_size % (1024 * 1024) == 0;
        trialix_set_error(error, TRIALIX_ERROR_TOO_LARGE,
                          "larger than " + std::to_string(mib ? max_size >> 20 : max_size) +
                              (mib ? " MiB" : " bytes") + ", not read");
        contents->clear();
        return false;
    };
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && (unsigned long long)st.st_size > max_size)
        return too_large();
    contents->clear();
    char chunk[65536];
    size_t n;
    // The file may grow while it is read.
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (n > max_size - contents->size())
            return too_large();
        contents->append(chunk, n);
    }
    if (ferror(f)) {
        int e = errno;
        trialix_set_error(error, TRIALIX_ERROR_READ, g_strerror(e));
        return false;
    }
    return true;
}

long filesize(const char *path, GError **error)
{
    FILE *f = open_regular_file(path, error);
    if (!f)
        return -1;
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        size = ftell(f);
    if (size < 0)
        trialix_set_error(error, TRIALIX_ERROR_READ, g_strerror(errno));
    fclose(f);
    return size;
}

namespace {

bool fail(GError **error, trialix_error_code code, const std::string &message)
{
    trialix_set_error(error, code, message);
    return false;
}

bool fail_bzip2(GError **error, int ret)
{
    g_set_error(error, TRIALIX_BZIP2_ERROR, ret, "Decompression failed (%d)", ret);
    return false;
}

// The decompressor's allocator: a block of the size asked for that an
// earlier file left unused, else a new one. Blocks of other sizes that
// nobody uses go first, so that files of another block size don't pile
// blocks up.
void *kept_alloc(void *opaque, int n, int m)
{
    auto *blocks = static_cast<std::vector<question_loader::kept_block> *>(opaque);
    size_t size = (size_t)n * (size_t)m;
    for (auto &b : *blocks)
        if (!b.used && b.size == size) {
            b.used = true;
            return b.p;
        }
    for (size_t i = blocks->size(); i-- > 0;)
        if (!(*blocks)[i].used) {
            free((*blocks)[i].p);
            blocks->erase(blocks->begin() + (long)i);
        }
    void *p = malloc(size ? size : 1);
    if (p)
        blocks->push_back({p, size, true});
    return p;
}

void kept_free(void *opaque, void *p)
{
    auto *blocks = static_cast<std::vector<question_loader::kept_block> *>(opaque);
    for (auto &b : *blocks)
        if (b.p == p)
            b.used = false;
}

// Makes `*block` hold at least `size` bytes, keeping its first `keep`.
bool reserve(char **block, size_t *capacity, size_t size, size_t keep = 0)
{
    if (*capacity >= size)
        return true;
    char *grown = keep ? (char *)realloc(*block, size) : nullptr;
    if (!keep) {
        free(*block);
        *block = nullptr;
        *capacity = 0;
        grown = (char *)malloc(size);
    }
    if (!grown)
        return false;
    *block = grown;
    *capacity = size;
    return true;
}

} // namespace

question_loader::~question_loader()
{
    free(body_);
    free(text_);
    for (const kept_block &b : blocks_)
        free(b.p);
}

// Reads the body (everything after the header) of an open file, and
// unscrambles it.
bool question_loader::read_body(FILE *f, const char *path, size_t *length, GError **error)
{
    if (fseek(f, 0, SEEK_END) != 0)
        return fail(error, TRIALIX_ERROR_READ, std::string("Couldn't read ") + path);
    long size = ftell(f);
    if (size < 0 || fseek(f, 0, SEEK_SET) != 0)
        return fail(error, TRIALIX_ERROR_READ, std::string("Couldn't read ") + path);
    if ((unsigned long)size > MAX_QUESTION_TEXT)
        return fail(error, TRIALIX_ERROR_TOO_LARGE,
                    std::string(path) + ": file larger than 64 MiB, not read");
    // A file shorter than the header has an empty body.
    long header = size < QUESTION_HEADER_SIZE ? size : (long)QUESTION_HEADER_SIZE;
    size_t n = (size_t)(size - header);
    if (!reserve(&body_, &body_capacity_, n ? n : 1))
        return fail(error, TRIALIX_ERROR_NO_MEMORY, "Couldn't create inbuf");
    if (fseek(f, header, SEEK_SET) != 0 || fread(body_, 1, n, f) != n)
        return fail(error, TRIALIX_ERROR_READ, std::string("Couldn't read ") + path);
    // Eight bytes at a time: a run unscrambles megabytes.
    const uint64_t key = 0x0101010101010101ull * QUESTION_KEY;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        memcpy(&w, body_ + i, 8);
        w ^= key;
        memcpy(body_ + i, &w, 8);
    }
    for (; i < n; i++)
        body_[i] ^= (char)QUESTION_KEY;
    *length = n;
    return true;
}

// Decompresses the body into the text block, which grows as the text
// needs, up to MAX_QUESTION_TEXT.
bool question_loader::decompress(const char *path, size_t length, GError **error)
{
    bz_stream strm;
    memset(&strm, 0, sizeof strm);
    strm.bzalloc = kept_alloc;
    strm.bzfree = kept_free;
    strm.opaque = &blocks_;
    int ret = BZ2_bzDecompressInit(&strm, 0, 0);
    if (ret != BZ_OK)
        return fail_bzip2(error, ret);
    struct ender {
        bz_stream *s;
        ~ender() { BZ2_bzDecompressEnd(s); }
    } end{&strm};

    // Question text compresses about 3:1 to 9:1; start above that and double.
    const size_t limit = MAX_QUESTION_TEXT + 1;   // one more byte tells "too large"
    size_t wanted = std::min(limit, std::max((size_t)65536, length * 12));
    if (!reserve(&text_, &capacity_, wanted))
        return fail(error, TRIALIX_ERROR_NO_MEMORY, "Couldn't create outbuf");
    size_t capacity = std::min(capacity_, limit);
    strm.next_in = body_;
    strm.avail_in = (unsigned)length;
    size_t produced = 0;
    for (;;) {
        strm.next_out = text_ + produced;
        strm.avail_out = (unsigned)(capacity - produced);
        ret = BZ2_bzDecompress(&strm);
        produced = capacity - strm.avail_out;
        if (ret == BZ_STREAM_END)
            break;
        if (ret == BZ_OK && strm.avail_out > 0 && strm.avail_in == 0)
            ret = BZ_UNEXPECTED_EOF;   // the stream stops short
        if (ret != BZ_OK)
            return fail_bzip2(error, ret);
        if (strm.avail_out == 0) {
            if (capacity == limit)
                return fail(error, TRIALIX_ERROR_TOO_LARGE,
                            std::string(path) + ": text larger than 64 MiB, not read");
            capacity = std::min(limit, capacity * 2);
            if (!reserve(&text_, &capacity_, capacity, produced))
                return fail(error, TRIALIX_ERROR_NO_MEMORY, "Couldn't create outbuf");
        }
    }
    if (produced > MAX_QUESTION_TEXT)
        return fail(error, TRIALIX_ERROR_TOO_LARGE,
                    std::string(path) + ": text larger than 64 MiB, not read");
    size_ = produced;
    return true;
}

bool question_loader::load(const char *path, GError **error)
{
    size_ = 0;
    gerror_ptr why;
    FILE *f = open_regular_file(path, out_error(why));
    if (!f) {
        // A file that isn't there is no message; one that isn't a regular
        // file (a directory, a FIFO that would block) is.
        if (why->code != TRIALIX_ERROR_NOT_REGULAR)
            return fail(error, (trialix_error_code)why->code, "");
        return fail(error, TRIALIX_ERROR_READ, std::string(path) + ": " + why->message);
    }
    size_t length = 0;
    bool ok = read_body(f, path, &length, error);
    fclose(f);
    if (ok)
        ok = decompress(path, length, error);
    if (!ok)
        size_ = 0;
    return ok;
}

char *question_loader::release(size_t *size)
{
    // Giving back the unused tail; keeping the larger block is harmless.
    char *exact = text_ ? (char *)realloc(text_, size_ ? size_ : 1) : (char *)malloc(1);
    char *text = exact ? exact : text_;
    *size = size_;
    text_ = nullptr;
    capacity_ = 0;
    size_ = 0;
    return text;
}

membuf_ptr load_question_file(const char *path, GError **error)
{
    question_loader loader;
    if (!loader.load(path, error))
        return nullptr;
    size_t size = 0;
    char *text = loader.release(&size);
    if (!text) {
        fail(error, TRIALIX_ERROR_NO_MEMORY, "Couldn't create inbuf2");
        return nullptr;
    }
    membuf_ptr b(new membuf);
    b->data = text;
    b->size = size;
    b->pos = text;
    b->end = text + size;
    return b;
}

bool load_error_is_shown(const GError *error)
{
    return error && !g_error_matches(error, TRIALIX_ERROR, TRIALIX_ERROR_MISSING) &&
           !g_error_matches(error, TRIALIX_ERROR, TRIALIX_ERROR_OPEN) &&
           !g_error_matches(error, TRIALIX_ERROR, TRIALIX_ERROR_NO_ITEMS);
}

membuf_ptr file2buf(const char *path, GError **error)
{
    return load_question_file(path, error);
}

char *bgets(char *line, int max, membuf *b)
{
    int n = 0;
    while (n < max && b->pos < b->end) {
        char c = *b->pos++;
        line[n++] = c;
        if (c == '\n')
            break;
    }
    if (n == 0)
        return nullptr;
    line[n] = '\0';
    return line;
}

bool text2file(const char *text, size_t size, const char *path, GError **error)
{
    if (size > MAX_QUESTION_TEXT)
        return fail(error, TRIALIX_ERROR_TOO_LARGE, "text larger than 64 MiB; Trialix would not read it");
    // The library's documented bound for incompressible input.
    unsigned bound = (unsigned)(size + size / 100 + 600);
    std::vector<char> out(QUESTION_HEADER_SIZE + bound);
    memcpy(out.data(), "TRIALIXQ1\n", QUESTION_HEADER_SIZE);
    unsigned length = bound;
    int ret = BZ2_bzBuffToBuffCompress(out.data() + QUESTION_HEADER_SIZE, &length,
                                       const_cast<char *>(text), (unsigned)size, 9, 0, 0);
    if (ret != BZ_OK)
        return fail(error, TRIALIX_ERROR_COMPRESS, "compression failed (" + std::to_string(ret) + ")");
    for (unsigned i = 0; i < length; i++)
        out[QUESTION_HEADER_SIZE + i] ^= (char)QUESTION_KEY;

    gerror_ptr gerror;
    if (!g_file_set_contents(path, out.data(), QUESTION_HEADER_SIZE + length, out_error(gerror))) {
        std::string message = gerror->message;
        // GLib names the temporary file it writes first ("cat01.OLJA03"),
        // which the author never asked for: name the target instead.
        std::string temp = std::string(path) + ".";
        size_t at = message.find(temp);
        if (at != std::string::npos && at + temp.size() + 6 <= message.size())
            message.replace(at, temp.size() + 6, path);
        return fail(error, TRIALIX_ERROR_WRITE, message);
    }
    return true;
}

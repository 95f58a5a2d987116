#include "bank/buffer.h"

#include <bzlib.h>
#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

FILE *open_regular_file(const char *path, std::string *why, int *code)
{
    auto fail = [&](int error, const char *text) -> FILE * {
        *why = text;
        if (code)
            *code = error;
        return nullptr;
    };
    if (!path)
        return fail(ENOENT, g_strerror(ENOENT));
    int fd = g_open(path, O_RDONLY | O_BINARY | O_NONBLOCK, 0);
    if (fd < 0) {
        int e = errno;
        return fail(e, g_strerror(e));
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || (st.st_mode & S_IFMT) != S_IFREG) {
        g_close(fd, nullptr);
        return fail(0, "not a regular file");
    }
#ifndef _WIN32
    // Reads of a regular file never wait anyway; plain blocking stdio.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
    FILE *f = fdopen(fd, "rb");
    if (!f) {
        int e = errno;
        g_close(fd, nullptr);
        return fail(e, g_strerror(e));
    }
    return f;
}

bool read_regular_file(const char *path, std::string *contents, std::string *why, int *code)
{
    FILE *f = open_regular_file(path, why, code);
    if (!f)
        return false;
    contents->clear();
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        contents->append(chunk, n);
    bool ok = !ferror(f);
    int e = errno;
    fclose(f);
    if (!ok) {
        *why = g_strerror(e);
        if (code)
            *code = e;
    }
    return ok;
}

long filesize(const char *path)
{
    std::string why;
    FILE *f = open_regular_file(path, &why);
    if (!f)
        return -1;
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        size = ftell(f);
    fclose(f);
    return size;
}

namespace {

bool fail(load_error *error, load_status status, std::string detail, int code = 0)
{
    error->status = status;
    error->detail = std::move(detail);
    error->code = code;
    return false;
}

// Reads the body (everything after the header) of an open file into a new
// malloc block.
bool read_body(FILE *f, const char *path, char **body, size_t *length, load_error *error)
{
    if (fseek(f, 0, SEEK_END) != 0)
        return fail(error, load_status::unreadable, std::string("Couldn't read ") + path);
    long size = ftell(f);
    if (size < 0 || fseek(f, 0, SEEK_SET) != 0)
        return fail(error, load_status::unreadable, std::string("Couldn't read ") + path);
    if ((unsigned long)size > MAX_QUESTION_TEXT)
        return fail(error, load_status::too_large,
                    std::string(path) + ": file larger than 64 MiB, not read");
    // A file shorter than the header has an empty body.
    long header = size < QUESTION_HEADER_SIZE ? size : (long)QUESTION_HEADER_SIZE;
    size_t n = (size_t)(size - header);
    char *in = (char *)malloc(n ? n : 1);
    if (!in)
        return fail(error, load_status::no_memory, "Couldn't create inbuf");
    if (fseek(f, header, SEEK_SET) != 0
        || fread(in, 1, n, f) != n) {
        free(in);
        return fail(error, load_status::unreadable, std::string("Couldn't read ") + path);
    }
    for (size_t i = 0; i < n; i++)
        in[i] ^= (char)QUESTION_KEY;
    *body = in;
    *length = n;
    return true;
}

// Decompresses a body into a malloc block that grows as the text needs,
// up to MAX_QUESTION_TEXT.
bool decompress(const char *path, char *body, size_t length, char **text, size_t *size,
                load_error *error)
{
    bz_stream strm;
    memset(&strm, 0, sizeof strm);
    int ret = BZ2_bzDecompressInit(&strm, 0, 0);
    if (ret != BZ_OK)
        return fail(error, load_status::decompress, "Decompression failed (" + std::to_string(ret) + ")", ret);

    // Question text compresses about 9:1; start near that and double.
    const size_t limit = MAX_QUESTION_TEXT + 1;   // one more byte tells "too large"
    size_t capacity = length * 12 < 65536 ? 65536 : length * 12;
    if (capacity > limit)
        capacity = limit;
    char *out = (char *)malloc(capacity);
    if (!out) {
        BZ2_bzDecompressEnd(&strm);
        return fail(error, load_status::no_memory, "Couldn't create outbuf");
    }
    strm.next_in = body;
    strm.avail_in = (unsigned)length;
    size_t produced = 0;
    for (;;) {
        strm.next_out = out + produced;
        strm.avail_out = (unsigned)(capacity - produced);
        ret = BZ2_bzDecompress(&strm);
        produced = capacity - strm.avail_out;
        if (ret == BZ_STREAM_END)
            break;
        if (ret == BZ_OK && strm.avail_out > 0 && strm.avail_in == 0)
            ret = BZ_UNEXPECTED_EOF;   // the stream stops short
        if (ret != BZ_OK) {
            free(out);
            BZ2_bzDecompressEnd(&strm);
            return fail(error, load_status::decompress,
                        "Decompression failed (" + std::to_string(ret) + ")", ret);
        }
        if (strm.avail_out == 0) {
            if (capacity == limit) {
                free(out);
                BZ2_bzDecompressEnd(&strm);
                return fail(error, load_status::too_large,
                            std::string(path) + ": text larger than 64 MiB, not read");
            }
            capacity = capacity * 2 > limit ? limit : capacity * 2;
            char *grown = (char *)realloc(out, capacity);
            if (!grown) {
                free(out);
                BZ2_bzDecompressEnd(&strm);
                return fail(error, load_status::no_memory, "Couldn't create outbuf");
            }
            out = grown;
        }
    }
    BZ2_bzDecompressEnd(&strm);
    if (produced > MAX_QUESTION_TEXT) {
        free(out);
        return fail(error, load_status::too_large,
                    std::string(path) + ": text larger than 64 MiB, not read");
    }
    // Give back the unused tail; keeping the larger block is harmless.
    char *exact = (char *)realloc(out, produced ? produced : 1);
    *text = exact ? exact : out;
    *size = produced;
    return true;
}

} // namespace

membuf_ptr load_question_file(const char *path, load_error *error)
{
    *error = load_error();
    std::string why;
    int code = 0;
    FILE *f = open_regular_file(path, &why, &code);
    if (!f) {
        if (code)
            fail(error, load_status::missing, "");
        else
            fail(error, load_status::unreadable, std::string(path) + ": " + why);
        return nullptr;
    }
    char *body = nullptr;
    size_t length = 0;
    bool ok = read_body(f, path, &body, &length, error);
    fclose(f);
    if (!ok)
        return nullptr;

    char *text = nullptr;
    size_t size = 0;
    ok = decompress(path, body, length, &text, &size, error);
    free(body);
    if (!ok)
        return nullptr;

    membuf_ptr b(new membuf);
    b->data = text;
    b->size = size;
    b->pos = text;
    b->end = text + size;
    return b;
}

membuf_ptr file2buf(const char *path)
{
    load_error error;
    membuf_ptr b = load_question_file(path, &error);
    if (!b && error.status != load_status::missing) {
        fputs(error.detail.c_str(), stdout);
        fputc('\n', stdout);
    }
    return b;
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

bool text2file(const char *text, size_t size, const char *path, std::string *error)
{
    if (size > MAX_QUESTION_TEXT) {
        *error = "text larger than 64 MiB; Trialix would not read it";
        return false;
    }
    // The library's documented bound for incompressible input.
    unsigned bound = (unsigned)(size + size / 100 + 600);
    std::vector<char> out(QUESTION_HEADER_SIZE + bound);
    memcpy(out.data(), "TRIALIXQ1\n", QUESTION_HEADER_SIZE);
    unsigned length = bound;
    int ret = BZ2_bzBuffToBuffCompress(out.data() + QUESTION_HEADER_SIZE, &length,
                                       const_cast<char *>(text), (unsigned)size, 9, 0, 0);
    if (ret != BZ_OK) {
        *error = "compression failed (" + std::to_string(ret) + ")";
        return false;
    }
    for (unsigned i = 0; i < length; i++)
        out[QUESTION_HEADER_SIZE + i] ^= (char)QUESTION_KEY;

    GError *gerror = nullptr;
    if (!g_file_set_contents(path, out.data(), QUESTION_HEADER_SIZE + length, &gerror)) {
        *error = gerror->message;
        g_error_free(gerror);
        return false;
    }
    return true;
}

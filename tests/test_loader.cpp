// One loader reading question file after question file, as the assembly of
// a run does, keeping its memory between them: every file must come out as
// it does alone, whatever came before it.
#include <gtest/gtest.h>
#include <bzlib.h>

#include <string>
#include <vector>

#include "bank/buffer.h"
#include "test_util.h"

namespace {

// A question file compressed with the given block size (text2file always
// uses the largest), so that the decompressor asks for blocks of another
// size than the file before.
void write_with_block_size(const std::string &path, const std::string &text, int block100k)
{
    std::vector<char> out(text.size() + text.size() / 100 + 600);
    unsigned length = (unsigned)out.size();
    ASSERT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char *>(text.data()),
                                       (unsigned)text.size(), block100k, 0, 0),
              BZ_OK);
    std::string bytes = "0123456789";
    for (unsigned i = 0; i < length; i++)
        bytes += (char)(out[i] ^ QUESTION_KEY);
    write_file(path, bytes);
}

std::string lines(const std::string &line, int count)
{
    std::string s;
    for (int i = 0; i < count; i++)
        s += line + std::to_string(i) + "\n";
    return s;
}

} // namespace

TEST(Loader, FileAfterFileReadsEachAsItIsAlone)
{
    TempDir dir;
    // Small; then text hundreds of times its file, which outgrows the first
    // guess of the text block; then another block size; then broken ones.
    const std::string small = "+++\nS\nQ?\n---\n+A\n---\nE\n+++\n";
    const std::string large = lines("+++ the same line again and again ", 60000);
    const std::string other = lines("a line of a file packed with small blocks ", 5000);
    write_question_file(dir / "small", small);
    write_question_file(dir / "large", large);
    write_with_block_size(dir / "other", other, 1);
    write_file(dir / "broken", "0123456789not a bzip2 stream");

    question_loader loader;
    load_error error;
    struct step {
        const char *name;
        const std::string *text;   // none: the load fails
        load_status status;
    };
    const step steps[] = {
        {"small", &small, load_status::ok},   {"large", &large, load_status::ok},
        {"broken", nullptr, load_status::decompress},
        {"other", &other, load_status::ok},   {"missing", nullptr, load_status::missing},
        {"small", &small, load_status::ok},   {"other", &other, load_status::ok},
        {"large", &large, load_status::ok},
    };
    for (const step &s : steps) {
        SCOPED_TRACE(s.name);
        bool ok = loader.load((dir / s.name).c_str(), &error);
        EXPECT_EQ(error.status, s.status);
        ASSERT_EQ(ok, s.text != nullptr);
        if (ok)
            EXPECT_EQ(std::string(loader.text(), loader.size()), *s.text);
        else
            EXPECT_EQ(loader.size(), 0u);
    }

    // What it hands over is the last text, exactly, and the loader goes on.
    size_t size = 0;
    char *text = loader.release(&size);
    EXPECT_EQ(std::string(text, size), large);
    free(text);
    ASSERT_TRUE(loader.load((dir / "other").c_str(), &error));
    EXPECT_EQ(std::string(loader.text(), loader.size()), other);
}

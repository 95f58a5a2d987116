// Scratch files for the fuzz targets whose readers take a path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A directory of this process's own, made at the first call (on /dev/shm
// when there is one, so that a run writes nothing to disk) and removed
// with everything in it at exit.
const std::string &fuzz_dir();

// Writes `size` bytes to `rel` (slash-separated, parents made) inside
// fuzz_dir(), replacing what was there. Returns the file's path.
std::string fuzz_write(const std::string &rel, const uint8_t *data, size_t size);

// Helpers shared by both test executables.
#pragma once

#include <string>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    // The directory itself, or `rel` (slash-separated) inside it.
    std::string path(const std::string &rel = "") const;
    // Makes the directory `rel` with its parents; returns its path.
    std::string mkdir(const std::string &rel) const;
    // Writes `content` to the file `rel`, making its parents; returns its path.
    std::string write(const std::string &rel, const std::string &content) const;

private:
    std::string root_;
};

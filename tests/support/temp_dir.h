// A temporary directory that is removed with everything in it when the test is done.
#pragma once
#include <string>

class TempDir {
public:
    TempDir();    // under $TMPDIR or /tmp
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// --- Small file helpers
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
void copyFile(const std::string& from, const std::string& to);

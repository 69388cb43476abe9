// A scratch directory removed with everything in it at the end of a test.
#pragma once

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return root; }
    std::string file(const std::string& name) const { return root + "/" + name; }
    // Writes text to name inside the directory; returns its path.
    std::string write(const std::string& name, const std::string& text) const;

private:
    std::string root;
};

// Reads a whole file (empty if it cannot be read).
std::string readFile(const std::string& path);

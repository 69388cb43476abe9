#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>

TempDir::TempDir()
{
    // A name made of the process and a counter; create_directory refuses one
    // that exists, so the loop ends with a directory of this test's own.
    static unsigned counter = 0;
    std::error_code e;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::ostringstream name;
        name << "vexa-test-" << GetCurrentProcessId() << '-' << counter++;
        auto candidate = std::filesystem::temp_directory_path() / name.str();
        if (std::filesystem::create_directory(candidate, e)) {
            root = candidate.generic_string();
            return;
        }
    }
    ADD_FAILURE() << "cannot create a temporary directory";
}
#else
TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vexa-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        ADD_FAILURE() << "cannot create a temporary directory";
    root = pattern;
}
#endif

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& text) const
{
    std::string path = file(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

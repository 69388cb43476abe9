#include "module_path.h"

#include <filesystem>
#include <vector>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

// The running program's own file.
fs::path own_executable(std::error_code& e)
{
#ifdef _WIN32
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (length == 0) {
            e = std::error_code(int(GetLastError()), std::system_category());
            return {};
        }
        if (length < name.size())
            return fs::path(std::wstring(name.data(), length));
        name.resize(name.size() * 2);
    }
#else
    return fs::read_symlink("/proc/self/exe", e);
#endif
}

} // namespace

std::string find_module_library(const std::string& file)
{
    std::error_code e;
    fs::path exe = own_executable(e);
    std::vector<fs::path> folders;
    if (!e) {
        fs::path here = exe.parent_path();
        folders = {here, here / ".." / "lib", here / ".." / "lib" / "melvox"};
    }
#ifdef MELVOX_BUILD_MODULE_DIR
    folders.emplace_back(MELVOX_BUILD_MODULE_DIR);
#endif
    for (const fs::path& folder : folders) {
        fs::path candidate = folder / file;
        if (fs::is_regular_file(candidate, e))
            return fs::weakly_canonical(candidate, e).string();
    }
    return "";
}

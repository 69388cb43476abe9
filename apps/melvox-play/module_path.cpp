#include "module_path.h"

#include <filesystem>
#include <vector>
#include <system_error>

namespace fs = std::filesystem;

std::string find_module_library(const std::string& file)
{
    std::error_code e;
    fs::path exe = fs::read_symlink("/proc/self/exe", e);
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

#include "host/module_loader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace melvox {
namespace {

constexpr char function_prefix[] = "function@";

int parse_address(const char* hex, entry_point* out)
{
    if (*hex == '\0')
        return error_invalid_parameters;
    errno = 0;
    char* end = nullptr;
    unsigned long long address = std::strtoull(hex, &end, 16);
    if (errno != 0 || *end != '\0' || address == 0 || address > UINTPTR_MAX)
        return error_invalid_parameters;
    *out = reinterpret_cast<entry_point>(static_cast<uintptr_t>(address));
    return 0;
}

#ifdef _WIN32
std::string last_system_error()
{
    char text[256] = "";
    DWORD code = GetLastError();
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                       nullptr) == 0)
        std::snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(code));
    std::string reason = text;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    return reason;
}

// Loads the library (it stays loaded) and finds the symbol in it.
int find_symbol(const std::string& library, const std::string& symbol, void** out, std::string& reason)
{
    HMODULE handle = LoadLibraryA(library.c_str());
    if (handle == nullptr) {
        reason = last_system_error();
        return error_library_not_found;
    }
    FARPROC address = GetProcAddress(handle, symbol.c_str());
    if (address == nullptr) {
        reason = last_system_error();
        return error_symbol_not_found;
    }
    *out = reinterpret_cast<void*>(address);
    return 0;
}
#else
std::string last_dl_error()
{
    const char* e = dlerror();
    return e != nullptr ? e : "";
}

// Loads the library (it stays loaded) and finds the symbol in it.
int find_symbol(const std::string& library, const std::string& symbol, void** out, std::string& reason)
{
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        reason = last_dl_error();
        return error_library_not_found;
    }
    dlerror();
    void* address = dlsym(handle, symbol.c_str());
    if (address == nullptr) {
        reason = last_dl_error();
        return error_symbol_not_found;
    }
    *out = address;
    return 0;
}
#endif

} // namespace

const char* default_entry_point_name(int kind)
{
    switch (kind) {
    case module_kind_input: return "input_module_register";
    case module_kind_input_filter: return "input_filter_module_register";
    case module_kind_output: return "output_module_register";
    case module_kind_output_filter: return "output_filter_module_register";
    case module_kind_codec: return "codec_module_register";
    case module_kind_feedback_handler: return "feedback_handler_module_register";
    default: return nullptr;
    }
}

int resolve_entry_point(const char* name, const char* default_symbol, entry_point* out, std::string& reason)
{
    if (name == nullptr || *name == '\0' || out == nullptr || default_symbol == nullptr)
        return error_invalid_parameters;
    if (std::strncmp(name, function_prefix, sizeof function_prefix - 1) == 0)
        return parse_address(name + sizeof function_prefix - 1, out);
    std::string symbol = default_symbol;
    std::string library = name;
    if (const char* at = std::strchr(name, '@')) {
        symbol.assign(name, at);
        library = at + 1;
        if (symbol.empty() || library.empty())
            return error_invalid_parameters;
    }
    void* address = nullptr;
    if (int r = find_symbol(library, symbol, &address, reason); r < 0)
        return r;
    *out = reinterpret_cast<entry_point>(address);
    return 0;
}

} // namespace melvox

# What both Windows cross builds share; the toolchain files name the
# compiler's target triplet in VEXA_MINGW_TRIPLET first. Programs and tests run
# under Wine. VEXA_WIN32_SYSROOT names the folder into which
# scripts/build-win32 builds static GLUT, libpng and zlib for Windows (the
# root CMakeLists compiles GoogleTest from Debian's sources itself).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VEXA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXA_MINGW_TRIPLET}-windres)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXA_WINE})

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VEXA_WIN32_SYSROOT VEXA_WINE)
# The sysroot comes first: mingw-w64 ships a libglut.a of its own (an import
# library for a glut32.dll) that must not win over the static freeglut.
set(CMAKE_FIND_ROOT_PATH ${VEXA_WIN32_SYSROOT} /usr/${VEXA_MINGW_TRIPLET})
# pkg-config must not offer the host's Linux libraries.
set(ENV{PKG_CONFIG_LIBDIR} "${VEXA_WIN32_SYSROOT}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry their C, C++ and thread runtimes, so that Wine needs no
# DLLs of the compiler's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

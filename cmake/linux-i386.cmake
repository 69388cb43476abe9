# The Linux deliverables as 32-bit x86 programs, built on an x86-64 machine
# with Debian's multiarch i386 packages (gcc-multilib, the :i386 libraries).
# The machine's kernel need not run 32-bit programs: the build's tools, test
# discovery and the tests run under qemu-i386 (Debian's qemu-user).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# 64-bit file offsets: WAVE and MPEG files over 2 GiB open and seek.
set(CMAKE_C_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
find_program(VEXA_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXA_QEMU_I386})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VEXA_QEMU_I386)
# Tests run 10 to 40 times slower under the emulator (and Mesa with them).
set(VEXA_TEST_TIMEOUT 300)

# Libraries, headers and CMake packages come from the i386 tree only; the
# host's 64-bit ones must never be picked up. Programs (the compilers, sh,
# lame, mpg123) are the host's.
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu /usr/lib64 /lib64)
set(CMAKE_SYSTEM_LIBRARY_PATH /usr/lib/i386-linux-gnu /lib/i386-linux-gnu)
# pkg-config answers with the i386 libraries' flags.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# Cross build for 32-bit ARM Linux.
#
#   cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabi.cmake \
#         -DSELECTOR_SYSROOT=/path/to/sysroot [-DSELECTOR_CROSS_PREFIX=arm-linux-]
#
# SELECTOR_CROSS_PREFIX: what the cross compiler's commands start with; the
#   default is Debian's arm-linux-gnueabi- (ARMv5TE and later, glibc).
#   scripts/handheld names the musl compiler of scripts/handheld-toolchain;
#   a handheld SDK's own toolchain is used the same way, by naming its
#   prefix, with its folder on PATH or the prefix given as a full path.
# SELECTOR_SYSROOT: the folder holding the target's SDL 1.2 and SDL_image 1.2
#   (headers, libraries, pkg-config files) and the libraries they use;
#   scripts/arm-sysroot makes one from Debian's armel packages.
# SELECTOR_EMULATOR: runs target programs on the build machine (tests, test
#   discovery); qemu-user by default.

set(SELECTOR_CROSS_PREFIX "arm-linux-gnueabi-" CACHE STRING "Prefix of the cross compiler's commands")
set(SELECTOR_SYSROOT "" CACHE PATH "Folder with the target's SDL 1.2 and SDL_image 1.2")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SELECTOR_CROSS_PREFIX SELECTOR_SYSROOT)

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER "${SELECTOR_CROSS_PREFIX}gcc")
set(CMAKE_CXX_COMPILER "${SELECTOR_CROSS_PREFIX}g++")

# The target triple, as Debian names its library folders (arm-linux-gnueabi).
get_filename_component(selector_triple "${SELECTOR_CROSS_PREFIX}" NAME)
string(REGEX REPLACE "-$" "" selector_triple "${selector_triple}")
set(CMAKE_LIBRARY_ARCHITECTURE "${selector_triple}")

# Libraries and headers come from the sysroot, or from the build machine's
# folders for the target (Debian installs libgtest-dev:armel there).
set(CMAKE_FIND_ROOT_PATH "${SELECTOR_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# pkg-config reads the sysroot's .pc files only, and puts the sysroot in front
# of the paths they give.
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${SELECTOR_SYSROOT}")
set(ENV{PKG_CONFIG_LIBDIR}
    "${SELECTOR_SYSROOT}/usr/lib/${selector_triple}/pkgconfig:${SELECTOR_SYSROOT}/usr/lib/pkgconfig:${SELECTOR_SYSROOT}/usr/share/pkgconfig")

# The linker finds the libraries that SDL's own libraries need in the sysroot.
set(selector_link_folders "")
foreach(folder lib/${selector_triple} usr/lib/${selector_triple} usr/lib/${selector_triple}/pulseaudio)
  string(APPEND selector_link_folders " -Wl,-rpath-link,${SELECTOR_SYSROOT}/${folder}")
endforeach()
set(CMAKE_EXE_LINKER_FLAGS_INIT "${selector_link_folders}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${selector_link_folders}")

set(SELECTOR_EMULATOR "qemu-arm-static;-L;${SELECTOR_SYSROOT}" CACHE STRING "Runs target programs here")
set(CMAKE_CROSSCOMPILING_EMULATOR "${SELECTOR_EMULATOR}")

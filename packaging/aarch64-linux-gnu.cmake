# CMake toolchain file: cross build for the board (64-bit ARM) with Debian's
# g++-aarch64-linux-gnu against an arm64 sysroot made by scripts/cross-test.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# The sysroot: -DKEST_ARM64_SYSROOT=DIR or the environment variable of that name.
if(NOT KEST_ARM64_SYSROOT AND DEFINED ENV{KEST_ARM64_SYSROOT})
  set(KEST_ARM64_SYSROOT "$ENV{KEST_ARM64_SYSROOT}")
endif()
if(NOT KEST_ARM64_SYSROOT OR NOT EXISTS "${KEST_ARM64_SYSROOT}/usr/lib/aarch64-linux-gnu")
  message(FATAL_ERROR "KEST_ARM64_SYSROOT must name an arm64 sysroot (scripts/cross-test makes one)")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KEST_ARM64_SYSROOT)
set(CMAKE_SYSROOT "${KEST_ARM64_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH "${KEST_ARM64_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the target's .pc files only, with their paths under the sysroot.
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${KEST_ARM64_SYSROOT}")
set(ENV{PKG_CONFIG_LIBDIR}
    "${KEST_ARM64_SYSROOT}/usr/lib/aarch64-linux-gnu/pkgconfig:${KEST_ARM64_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# moc, rcc and uic come from the build host's qt6-base-dev-tools.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# The Debian architecture of the packages CPack makes.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)

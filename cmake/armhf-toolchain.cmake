# Cross build for the appliance: 32-bit ARM Linux, hard-float (arm-linux-gnueabihf).
#
# Uses Debian's cross compiler (g++-arm-linux-gnueabihf) and the armhf multiarch packages
# (libjsonparser-dev:armhf, zlib1g-dev:armhf, libgtest-dev:armhf, libstdc++6:armhf, ...) that
# live in /usr/lib/arm-linux-gnueabihf and /usr/include; scripts/cross.sh installs them all.
#
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake
#
# Test binaries and the integration tests' programs run through qemu-arm, named explicitly:
# binfmt is not always there (containers), and with libc6:armhf and libstdc++6:armhf
# installed the emulator finds the armhf loader and libraries without a -L prefix.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(ARMHF_TRIPLET arm-linux-gnueabihf)
set(CMAKE_LIBRARY_ARCHITECTURE ${ARMHF_TRIPLET})

set(CMAKE_C_COMPILER ${ARMHF_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ARMHF_TRIPLET}-g++)
find_program(CMAKE_AR ${ARMHF_TRIPLET}-ar)
find_program(CMAKE_RANLIB ${ARMHF_TRIPLET}-ranlib)
find_program(CMAKE_STRIP ${ARMHF_TRIPLET}-strip)

# 64-bit file offsets (large images) and a 64-bit time_t (dates past 2038) on the 32-bit
# target. -Wno-psabi silences GCC's notes on the ARM parameter-passing change of GCC 7,
# which are no fault of ours and would break a -Werror build.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64 -Wno-psabi")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64 -Wno-psabi")

# Look for libraries, headers and package files of the target only; build tools of the host.
# Host libraries live in /usr/lib/<host triplet>, which is never searched here because
# CMAKE_LIBRARY_ARCHITECTURE names the armhf folder; ignore the host folders all the same.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
execute_process(COMMAND gcc -print-multiarch OUTPUT_VARIABLE _host_multiarch
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(_host_multiarch AND NOT _host_multiarch STREQUAL ARMHF_TRIPLET)
  list(APPEND CMAKE_SYSTEM_IGNORE_PATH
       /usr/lib/${_host_multiarch} /lib/${_host_multiarch} /usr/include/${_host_multiarch})
endif()

# pkg-config: only the armhf package files (and the architecture-independent ones).
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${ARMHF_TRIPLET}/pkgconfig:/usr/share/pkgconfig")
unset(ENV{PKG_CONFIG_PATH})
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

# ctest runs every test binary through this; tests/lib/harness.py gets it as EMULATOR. Only
# the tests need it (cmake/Testing.cmake insists on it): a tree without them builds without.
find_program(ARMHF_QEMU qemu-arm)
if(ARMHF_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ARMHF_QEMU})
endif()

# Cross build for 64-bit ARM Linux on a Debian x86-64 machine:
#   dpkg --add-architecture arm64 && apt-get update
#   apt-get install g++-aarch64-linux-gnu qemu-user-static zlib1g-dev:arm64 libgtest-dev:arm64
#   cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# The arm64 libraries come from Debian's multiarch packages (/usr/lib/aarch64-linux-gnu).
# ctest runs the arm64 tests through qemu-user, which also runs the program for the
# end-to-end tests.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Libraries and CMake packages are looked for in /usr/lib/aarch64-linux-gnu.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

find_program(TARVELO_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64)
if(TARVELO_QEMU_AARCH64)
  # The loader and the C and C++ libraries of the cross compiler (-L, and first
  # in the library path), the others (zlib) from the multiarch folders. A C
  # library of Debian's multiarch libc6:arm64 under the cross compiler's loader
  # makes fork hang.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVELO_QEMU_AARCH64} -L /usr/aarch64-linux-gnu
      -E LD_LIBRARY_PATH=/usr/aarch64-linux-gnu/lib)
else()
  message(WARNING "qemu-aarch64 not found (apt-get install qemu-user-static): "
                  "the tests of this build cannot run here")
endif()

# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model,
# so std::thread and std::mutex work), run under Wine.
#
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#     -DTREMOLUX_BUILD_GUI=OFF -DTREMOLUX_BUILD_BENCH=OFF
#
# Packages found with find_package come from the MinGW sysroot or from the
# prefixes in CMAKE_PREFIX_PATH (scripts/test-windows puts GoogleTest, built
# for Windows, and the header-only CLI11 and nlohmann-json there). The
# programs link the C and C++ runtimes and winpthreads statically, so each
# .exe runs alone, without DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TREMOLUX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TREMOLUX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TREMOLUX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TREMOLUX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TREMOLUX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages: the sysroot and CMAKE_PREFIX_PATH as given (not re-rooted).
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs and generators built here run through Wine.
find_program(TREMOLUX_WINE NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TREMOLUX_WINE})

# No interprocedural register allocation. With it, GCC lets a caller keep a
# value in a call-clobbered register across a call when the callee, as
# compiled in the caller's unit, leaves that register alone. For a template
# or inline function the linker keeps one COMDAT copy, from whichever unit
# comes first, and its registers may differ; on this target GCC 12 takes the
# shortcut for such functions anyway. It broke a load: a sample count kept
# in r8 across ExtremesScan<float>::Add came back as whatever the other
# unit's copy of Add had left there.
set(CMAKE_C_FLAGS_INIT "-fno-ipa-ra")
set(CMAKE_CXX_FLAGS_INIT "-fno-ipa-ra")

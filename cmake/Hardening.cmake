# The Debian hardening set, turned on by the build itself so that a plain
# `cmake -B build && cmake --build build && cpack` (as a packager or an IDE
# builds) gives the same program as scripts/build.sh, which passes what
# dpkg-buildflags gives: fortified C library calls, a strong stack
# protector, format-string checks, position-independent executables, and
# relocations made read-only and bound at start-up (relro, bindnow). Each
# flag is used only where the compiler or the linker takes it.
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
include(CheckPIESupported)

option(VEVEZ_HARDENING "Build with the Debian hardening flags" ON)
if(NOT VEVEZ_HARDENING)
  return()
endif()

check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

foreach(flag -fstack-protector-strong -Wformat -Werror=format-security)
  string(MAKE_C_IDENTIFIER "VEVEZ_HAS${flag}" var)
  check_cxx_compiler_flag(${flag} ${var})
  if(${var})
    add_compile_options(${flag})
  endif()
endforeach()

# Fortified calls need the optimiser (glibc warns without it), and the
# sanitizers bring their own checks of the same calls.
if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endif()

check_linker_flag(CXX "LINKER:-z,relro" VEVEZ_HAS_RELRO)
check_linker_flag(CXX "LINKER:-z,now" VEVEZ_HAS_BINDNOW)
if(VEVEZ_HAS_RELRO AND VEVEZ_HAS_BINDNOW)
  add_link_options("LINKER:-z,relro" "LINKER:-z,now")
endif()

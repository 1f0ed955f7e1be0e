# Compiler and linker flags for every Windows target, in one place.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

add_library(quorvel_flags INTERFACE)
target_compile_definitions(quorvel_flags INTERFACE
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
  _WIN32_WINNT=0x0600 WINVER=0x0600)
target_compile_options(quorvel_flags INTERFACE
  -Wall -Wextra -Wno-unknown-pragmas -Wno-cast-function-type)
# Stand-alone binaries: the C++ runtime and winpthreads go in statically,
# so the DLL imports system libraries only.
target_link_options(quorvel_flags INTERFACE -static -static-libgcc -static-libstdc++)

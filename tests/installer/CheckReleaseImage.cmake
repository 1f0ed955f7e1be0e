cmake_minimum_required(VERSION 3.20)
# The packaged Quorvel.dll carries no debug information, names its symbols
# file, and that file holds the debug information.
#   cmake -DOBJDUMP=... -DDLL=... -DSYMBOLS=... -P CheckReleaseImage.cmake
execute_process(COMMAND ${OBJDUMP} -h ${DLL} OUTPUT_VARIABLE dll_sections RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()
if(dll_sections MATCHES "\\.debug_")
  message(FATAL_ERROR "the packaged image still has debug sections")
endif()
if(NOT dll_sections MATCHES "\\.gnu_debuglink")
  message(FATAL_ERROR "the packaged image does not name its symbols file")
endif()
execute_process(COMMAND ${OBJDUMP} -h ${SYMBOLS} OUTPUT_VARIABLE symbol_sections RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT symbol_sections MATCHES "\\.debug_info")
  message(FATAL_ERROR "${SYMBOLS} holds no debug information")
endif()

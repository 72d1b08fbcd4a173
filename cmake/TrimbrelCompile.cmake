# Compiler settings shared by every trimbrel target.
add_library(trimbrel_compile_options INTERFACE)
target_compile_features(trimbrel_compile_options INTERFACE cxx_std_20)
target_compile_options(trimbrel_compile_options INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wpedantic -Wno-missing-field-initializers>)

# Hardened as Debian builds its packages: checked buffer functions where the
# optimiser can see sizes, and relocations bound at start and then made
# read-only. The sanitizer builds check more than this on their own.
if(NOT TRIMBREL_SANITIZE AND NOT TRIMBREL_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(trimbrel_compile_options INTERFACE
    $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2> -fstack-protector-strong)
  target_link_options(trimbrel_compile_options INTERFACE -Wl,-z,relro -Wl,-z,now)
endif()

if(TRIMBREL_SANITIZE)
  target_compile_options(trimbrel_compile_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(trimbrel_compile_options INTERFACE -fsanitize=address,undefined)
endif()

if(TRIMBREL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TRIMBREL_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  # Libraries get coverage instrumentation; only the fuzz executables link the libFuzzer main.
  # Undefined behaviour aborts, so the fuzzer keeps it as a finding instead of
  # printing a line and going on.
  target_compile_options(trimbrel_compile_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(trimbrel_compile_options INTERFACE -fsanitize=address,undefined)
endif()

# Each folder is one static library whose public header is its door; the
# include root is the repository, so other folders write "imaging/imaging.hpp".
#   trimbrel_library(name [PUBLIC deps...] [PRIVATE deps...])
function(trimbrel_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER _sources EXCLUDE REGEX "/main\\.cpp$")
  if(_sources)
    add_library(${name} STATIC ${_sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC trimbrel_compile_options ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  else()
    # A folder of headers only.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE trimbrel_compile_options ${ARG_PUBLIC})
  endif()
endfunction()

# Cross-building for Windows with mingw-w64. Debian ships no Windows builds of
# GoogleTest, CLI11 or nlohmann-json: GoogleTest is built from the sources in
# libgtest-dev, and the two header-only libraries come from the host's headers,
# copied apart so that the host's other headers stay out of the include path.
set(ZT_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(COPY /usr/include/CLI /usr/include/nlohmann DESTINATION ${ZT_HOST_HEADERS})

function(zt_header_package name target version)
  set(dir ${CMAKE_BINARY_DIR}/host-packages/${name})
  file(WRITE ${dir}/${name}Config.cmake
    "if(NOT TARGET ${target})\n"
    "  add_library(${target} INTERFACE IMPORTED GLOBAL)\n"
    "  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${ZT_HOST_HEADERS})\n"
    "endif()\n")
  file(WRITE ${dir}/${name}ConfigVersion.cmake
    "set(PACKAGE_VERSION ${version})\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
  set(${name}_DIR ${dir} CACHE PATH "" FORCE)
endfunction()
zt_header_package(CLI11 CLI11::CLI11 2.3.1)
zt_header_package(nlohmann_json nlohmann_json::nlohmann_json 3.11.2)

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -Wno-error)
target_compile_options(gtest_main PRIVATE -Wno-error)

# Listing the tests means running them under Wine: done when CTest runs,
# not after every link.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# On Linux these headers sit in the default search path; so they do here.
include_directories(SYSTEM ${ZT_HOST_HEADERS})
# The C runtime's own printf knows neither %zu nor %llu everywhere; mingw's
# does. GCC checks format strings against Microsoft's dialect whatever the
# runtime, so the checks stay with the Linux build of the same code.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)
add_compile_options(-Wno-format)

# Tests find programs by their build paths; under Wine the host's root is
# drive Z:, so the prefix makes them Windows paths.
set(ZT_RUN_PREFIX "Z:")

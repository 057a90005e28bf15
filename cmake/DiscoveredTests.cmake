# gtest_discover_tests hands its PROPERTIES on flattened, so a list value (an
# environment of two variables) keeps its first entry alone and the rest turn
# into property names. The tests a discovery found get these properties from a
# script CTest reads after the discovery, when their names are known.
#   zt_discovered_tests(target [ENVIRONMENT var=value...]
#                       [ENVIRONMENT_MODIFICATION op...] [RESOURCE_LOCK name])
function(zt_discovered_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "RESOURCE_LOCK" "ENVIRONMENT;ENVIRONMENT_MODIFICATION")
  set(properties "")
  foreach(property ENVIRONMENT ENVIRONMENT_MODIFICATION RESOURCE_LOCK)
    if(DEFINED arg_${property})
      string(APPEND properties "    ${property} [==[${arg_${property}}]==]\n")
    endif()
  endforeach()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake)
  file(WRITE ${script}
    "if(NOT \"\${${target}_TESTS}\" STREQUAL \"\")\n"
    "  set_tests_properties(\${${target}_TESTS} PROPERTIES\n${properties})\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()

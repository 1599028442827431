# The oldest macOS the host's libraries are built for: the version that the
# runner's Brimlane.xcconfig names in BRIMLANE_MACOS_MINIMUM_VERSION, from
# which the application takes its deployment target too, so that the
# libraries and the application they are linked into never disagree.
# Included by CMakeLists.txt; `cmake -P macos/minimum_version.cmake` prints it.
set(brimlane_xcconfig "${CMAKE_CURRENT_LIST_DIR}/runner/Runner/Configs/Brimlane.xcconfig")
file(STRINGS "${brimlane_xcconfig}" brimlane_minimum_line
     REGEX "^BRIMLANE_MACOS_MINIMUM_VERSION *= *[0-9]+(\\.[0-9]+)* *$")
list(LENGTH brimlane_minimum_line brimlane_minimum_lines)
if(NOT brimlane_minimum_lines EQUAL 1 OR NOT brimlane_minimum_line MATCHES "= *([0-9.]+)")
  message(FATAL_ERROR "${brimlane_xcconfig} must set BRIMLANE_MACOS_MINIMUM_VERSION once, "
                      "to a version such as 11.0")
endif()
set(BRIMLANE_MACOS_MINIMUM_VERSION "${CMAKE_MATCH_1}")
if(CMAKE_SCRIPT_MODE_FILE)
  message("BRIMLANE_MACOS_MINIMUM_VERSION ${BRIMLANE_MACOS_MINIMUM_VERSION}")
else()
  # A changed version configures the build again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${brimlane_xcconfig}")
endif()

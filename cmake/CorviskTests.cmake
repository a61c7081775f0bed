# corvisk_discover_tests(TARGET LABELS LABEL... [gtest_discover_tests options])
# gtest_discover_tests with the cases' labels, which it cannot set itself: it
# flattens its PROPERTIES, so a list value such as "wine;ui" would fall apart.
# The labels are set by a file that ctest reads after the cases are listed.
# Every case carries labels: tests/static/check-labels fails on one without.
# Cases labelled wine share the tree's Wine prefix (its registry, services
# and stand-ins' state) and so hold the wine_prefix lock: a tree runs them
# one at a time while tests that need no prefix run beside them. They all run
# on the X server of the ui_display fixture (its folder: ${ui_display}),
# whose desktop keeper holds the prefix's desktop open: a program that
# started the desktop itself would keep ctest waiting a second after it ends,
# until Wine closes that desktop.
function(corvisk_discover_tests target)
  set(one_value DISCOVERY_MODE DISCOVERY_TIMEOUT TEST_PREFIX TEST_SUFFIX TEST_FILTER WORKING_DIRECTORY)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_PRETTY_TYPES;NO_PRETTY_VALUES" "${one_value}"
    "LABELS;EXTRA_ARGS;PROPERTIES")
  if(NOT arg_LABELS OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "corvisk_discover_tests(${target}): give the cases LABELS; unknown: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  set(forwarded)
  foreach(option NO_PRETTY_TYPES NO_PRETTY_VALUES)
    if(arg_${option})
      list(APPEND forwarded ${option})
    endif()
  endforeach()
  foreach(option ${one_value} EXTRA_ARGS)
    if(DEFINED arg_${option})
      list(APPEND forwarded ${option} ${arg_${option}})
    endif()
  endforeach()
  # The properties that become lists here are set with the labels.
  set(properties)
  set(fixtures)
  set(environment)
  while(arg_PROPERTIES)
    list(POP_FRONT arg_PROPERTIES name value)
    if(name STREQUAL "FIXTURES_REQUIRED")
      list(APPEND fixtures ${value})
    elseif(name STREQUAL "ENVIRONMENT")
      list(APPEND environment ${value})
    else()
      list(APPEND properties ${name} ${value})
    endif()
  endwhile()
  if(properties)
    list(APPEND forwarded PROPERTIES ${properties})
  endif()
  string(MAKE_C_IDENTIFIER "${target}_${arg_TEST_PREFIX}tests" list)
  gtest_discover_tests(${target} TEST_LIST ${list} ${forwarded})
  set(listed " LABELS \"${arg_LABELS}\"")
  if("wine" IN_LIST arg_LABELS)
    list(APPEND fixtures ui_display)
    list(APPEND environment CORVISK_DISPLAY_FILE=${ui_display}/display)
    string(APPEND listed " RESOURCE_LOCK wine_prefix")
  endif()
  if(fixtures)
    string(APPEND listed " FIXTURES_REQUIRED \"${fixtures}\"")
  endif()
  if(environment)
    string(APPEND listed " ENVIRONMENT \"${environment}\"")
  endif()
  set(labels_file ${CMAKE_CURRENT_BINARY_DIR}/${list}_labels.cmake)
  file(WRITE ${labels_file} "if(${list})\n  set_tests_properties(\${${list}} PROPERTIES${listed})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_file})
endfunction()

# corvisk_discover_tests(TARGET LABELS LABEL... [gtest_discover_tests options])
# gtest_discover_tests with the cases' labels, which it cannot set itself: it
# flattens its PROPERTIES, so a list value such as "wine;ui" would fall apart.
# The labels are set by a file that ctest reads after the cases are listed.
# Every case carries labels: tests/static/check-labels fails on one without.
# Cases labelled wine share the tree's Wine prefix (its registry, services
# and stand-ins' state) and so hold the wine_prefix lock: a tree runs them
# one at a time while tests that need no prefix run beside them.
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
  foreach(option ${one_value} EXTRA_ARGS PROPERTIES)
    if(DEFINED arg_${option})
      list(APPEND forwarded ${option} ${arg_${option}})
    endif()
  endforeach()
  string(MAKE_C_IDENTIFIER "${target}_${arg_TEST_PREFIX}tests" list)
  gtest_discover_tests(${target} TEST_LIST ${list} ${forwarded})
  set(labels_file ${CMAKE_CURRENT_BINARY_DIR}/${list}_labels.cmake)
  set(lock)
  if("wine" IN_LIST arg_LABELS)
    set(lock " RESOURCE_LOCK wine_prefix")
  endif()
  file(WRITE ${labels_file}
    "if(${list})\n  set_tests_properties(\${${list}} PROPERTIES LABELS \"${arg_LABELS}\"${lock})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_file})
endfunction()

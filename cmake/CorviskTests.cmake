# corvisk_discover_tests(TARGET LABELS LABEL... [gtest_discover_tests options])
# gtest_discover_tests with the cases' labels, which it cannot set itself: it
# flattens its PROPERTIES, so a list value such as "wine;ui" would fall apart.
# The labels are set by a file that ctest reads after the cases are listed.
# Every case carries labels: tests/static/check-labels fails on one without.
# Cases labelled wine run in their lane (corvisk_wine_lane).
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
    corvisk_wine_lane("${arg_LABELS}" "${fixtures}" "${environment}")
    set(fixtures "${lane_fixtures}")
    set(environment "${lane_environment}")
    string(APPEND listed " RESOURCE_LOCK ${lane_lock}")
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

# A tree runs its Windows tests in two lanes, so that two of them run at
# once: each lane is a Wine prefix of its own (its registry, services and
# stand-ins' state) with its own gateway mail servers, cloud stand-ins and X
# server. The window tests (label ui) take the first lane, whose names are
# plain and whose folders are the tree's own (build/<tree>/wineprefix,
# smtp-gateway, cloud-standins, ui-display); the others take lane2., with
# those folders in build/<tree>/lane2/. A test holds its lane's lock
# (wine_prefix, lane2.wine_prefix), so a lane runs one test at a time, and
# requires its lane's fixtures; the environment tells it and its programs
# where the lane is. Every test of a lane runs on the lane's X server, whose
# desktop keeper holds the prefix's desktop open: a program that started the
# desktop itself would keep ctest waiting a second after it ends, until Wine
# closes that desktop.
set(CORVISK_WINE_LANES "" lane2.)

# The folder of a lane.
function(corvisk_lane_folder lane out)
  string(REPLACE "." "" folder "${lane}")
  if(folder)
    set(${out} ${CMAKE_BINARY_DIR}/${folder} PARENT_SCOPE)
  else()
    set(${out} ${CMAKE_BINARY_DIR} PARENT_SCOPE)
  endif()
endfunction()

# Sets lane_lock, lane_fixtures and lane_environment for a Windows test with
# these labels that needs these fixtures (plain names) and environment.
function(corvisk_wine_lane labels fixtures environment)
  set(lane lane2.)
  if("ui" IN_LIST labels)
    set(lane "")
  endif()
  corvisk_lane_folder("${lane}" folder)
  list(TRANSFORM fixtures PREPEND "${lane}")
  list(APPEND fixtures ${lane}ui_display)
  list(APPEND environment WINEPREFIX=${folder}/wineprefix CORVISK_DISPLAY_FILE=${folder}/ui-display/display
    CORVISK_SMTP_GATEWAY_FOLDER=${folder}/smtp-gateway CORVISK_CLOUD_FOLDER=${folder}/cloud-standins)
  set(lane_lock ${lane}wine_prefix PARENT_SCOPE)
  set(lane_fixtures "${fixtures}" PARENT_SCOPE)
  set(lane_environment "${environment}" PARENT_SCOPE)
endfunction()

# corvisk_wine_test(TEST LABELS LABEL... [FIXTURES NAME...] [PROPERTIES ...])
# Puts a Windows test made with add_test into its lane, with its labels.
function(corvisk_wine_test test)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "LABELS;FIXTURES;PROPERTIES")
  corvisk_wine_lane("${arg_LABELS}" "${arg_FIXTURES}" "")
  set_tests_properties(${test} PROPERTIES LABELS "${arg_LABELS}" RESOURCE_LOCK ${lane_lock}
    FIXTURES_REQUIRED "${lane_fixtures}" ENVIRONMENT "${lane_environment}" ${arg_PROPERTIES})
endfunction()

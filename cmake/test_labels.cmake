# Every test carries the label of its kind, so that a tier of the tests is a
# label filter (README, "Tests in tiers"). Besides its kind a test may be
# `slow`, need root (`needs_root`) or be one the sanitizers' build runs
# (`sanitized`).
set(TESSARIN_TEST_KINDS unit pictures linux end_to_end desktops wine packaging layers source)

# Labels every test declared in the calling folder, those that
# gtest_discover_tests finds included: a folder whose tests are of one kind
# says it once, and a test added there later has it too.
#   tessarin_label_folder_tests(<label>...)
function(tessarin_label_folder_tests)
  set_property(DIRECTORY APPEND PROPERTY LABELS ${ARGN})
endfunction()

# gtest_discover_tests, every test found labelled. Its PROPERTIES lose a
# list's separators (CMake 3.25) and CTest adds repeated LABELS up, so each
# label is passed as a LABELS of its own.
#   tessarin_discover_tests(<target> LABELS <label>... [TEST_FILTER <filter>]
#                           [PROPERTIES <name> <value>...])
function(tessarin_discover_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "TEST_FILTER" "LABELS;PROPERTIES")
  if(arg_UNPARSED_ARGUMENTS OR NOT arg_LABELS)
    message(FATAL_ERROR "tessarin_discover_tests(${target}): LABELS wanted; not known: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  set(options)
  if(DEFINED arg_TEST_FILTER)
    list(APPEND options TEST_FILTER ${arg_TEST_FILTER})
  endif()
  foreach(label IN LISTS arg_LABELS)
    list(APPEND arg_PROPERTIES LABELS ${label})
  endforeach()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 ${options} PROPERTIES ${arg_PROPERTIES})
endfunction()

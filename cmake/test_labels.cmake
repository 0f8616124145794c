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
#   tessarin_discover_tests(<target> LABELS <label>... [PROPERTIES <name> <value>...]
#                           [other gtest_discover_tests options])
function(tessarin_discover_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "LABELS;PROPERTIES")
  set(labels)
  foreach(label IN LISTS arg_LABELS)
    list(APPEND labels LABELS ${label})
  endforeach()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 ${arg_UNPARSED_ARGUMENTS}
                       PROPERTIES ${labels} ${arg_PROPERTIES})
endfunction()

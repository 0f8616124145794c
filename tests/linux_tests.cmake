# The Linux program's tests (included from tests/CMakeLists.txt).

find_package(GTest REQUIRED)
include(GoogleTest)

# The logic against fakes of every platform interface.
add_executable(unit_tests ${TESSARIN_UNIT_TEST_SOURCES})
target_link_libraries(unit_tests PRIVATE tessarin_logic tessarin_held_picture tessarin_test_support
  tessarin_warnings GTest::gtest_main GTest::gmock)
tessarin_discover_tests(unit_tests LABELS unit sanitized)
# What the sanitizers' build runs (scripts/test-sanitizers.sh), labelled
# `sanitized`: the unit, picture and Linux tests, and the fuzzers' findings.
add_custom_target(sanitized_tests)
add_dependencies(sanitized_tests unit_tests pictures_tests linux_tests)

# Includes written from src/ (the layers themselves are kept by the build).
add_test(NAME include_paths
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/layers/check_includes.sh ${PROJECT_SOURCE_DIR}/src)
set_property(TEST include_paths APPEND PROPERTY LABELS layers)

# Namespaces that follow the folders, and a probe the check must refuse.
add_test(NAME namespaces
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/layers/check_namespaces.sh ${PROJECT_SOURCE_DIR}/src)
add_test(NAME namespaces_refuse_a_misplaced_one
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/layers/check_namespaces.sh
                 ${CMAKE_CURRENT_SOURCE_DIR}/layers/namespace_probe)
set_tests_properties(namespaces_refuse_a_misplaced_one PROPERTIES PASS_REGULAR_EXPRESSION
                     "misplaced.h opens namespace tessarin::run: its folder.s is tessarin::wallpaper")
set_property(TEST namespaces namespaces_refuse_a_misplaced_one APPEND PROPERTY LABELS layers)

# The style of .clang-format (Debian's clang-format 14, looked up when the test
# runs: building needs none): a file that differs from it fails, with
# clang-format's notes on where.
file(GLOB_RECURSE formatted_sources CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
     ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h)
add_test(NAME format COMMAND clang-format-14 --dry-run --Werror ${formatted_sources})
set_property(TEST format APPEND PROPERTY LABELS source)

# The decoders on pictures built in the tests (with the decoders' own libraries).
add_executable(pictures_tests
  pictures/bmp_decoder_test.cpp
  pictures/gif_decoder_test.cpp
  pictures/icon_decoder_test.cpp
  pictures/jpeg_decoder_test.cpp
  pictures/render_metafile_test.cpp
  pictures/picture_formats_test.cpp
  pictures/size_checks_test.cpp
  pictures/png_decoder_test.cpp)
target_link_libraries(pictures_tests PRIVATE tessarin_pictures tessarin_metafile_renderer
  tessarin_decoder_libraries tessarin_logic tessarin_test_support tessarin_warnings
  GTest::gtest_main)
tessarin_discover_tests(pictures_tests LABELS pictures sanitized)

# The Linux platform's pieces on a real file system.
add_executable(linux_tests
  linux/atomic_update_test.cpp
  linux/confinement_test.cpp
  linux/config_folder_test.cpp
  linux/gui_loader_test.cpp
  linux/ini_settings_test.cpp
  linux/input_files_test.cpp
  linux/linux_path_rules_and_locale_test.cpp
  linux/linux_pictures_test.cpp
  linux/metafile_renderer_test.cpp
  linux/path_walk_test.cpp
  linux/replaced_files_test.cpp
  linux/replacement_file_test.cpp
  linux/sandboxed_picture_test.cpp
  linux/stderr_messages_test.cpp
  linux/temporary_names_test.cpp)
target_link_libraries(linux_tests PRIVATE tessarin_linux tessarin_picture_sandbox tessarin_decoder_libraries
  tessarin_test_support tessarin_warnings GTest::gtest_main)
# The metafile decoder is tested once through its module.
target_compile_definitions(linux_tests PRIVATE
  TESSARIN_METAFILE_MODULE="$<TARGET_FILE:tessarin_metafile>")
add_dependencies(linux_tests tessarin_metafile)
# Modules of another install: one of another interface version, one of none.
add_library(stale_module_versioned MODULE linux/stale_module.cpp)
target_compile_definitions(stale_module_versioned PRIVATE STALE_VERSION=1000)
add_library(stale_module_unversioned MODULE linux/stale_module.cpp)
target_compile_definitions(linux_tests PRIVATE
  TESSARIN_STALE_MODULE="$<TARGET_FILE:stale_module_versioned>"
  TESSARIN_UNVERSIONED_MODULE="$<TARGET_FILE:stale_module_unversioned>")
add_dependencies(linux_tests stale_module_versioned stale_module_unversioned)
tessarin_discover_tests(linux_tests LABELS linux sanitized)

# The built executable, run as a user would in a throw-away home.
add_executable(end_to_end_tests
  end_to_end/gui_loading_test.cpp
  end_to_end/killed_run_test.cpp
  end_to_end/picture_formats_run_test.cpp
  end_to_end/starved_run_test.cpp
  end_to_end/tessarin_process.cpp
  end_to_end/wallpaper_run_test.cpp)
# The decoders' own bounds (from the sandbox) are checked in a run's decoders.
target_link_libraries(end_to_end_tests PRIVATE tessarin_logic tessarin_held_picture tessarin_decoder_libraries
  tessarin_picture_sandbox tessarin_test_support tessarin_warnings GTest::gtest_main)
target_compile_definitions(end_to_end_tests PRIVATE TESSARIN_EXECUTABLE="$<TARGET_FILE:tessarin>")
add_dependencies(end_to_end_tests tessarin)
tessarin_discover_tests(end_to_end_tests LABELS end_to_end TEST_FILTER -StarvedRun.*)
# A run held stopped 95 % of the time: slow, and alone, so that the machine's
# other tests do not starve it further.
tessarin_discover_tests(end_to_end_tests LABELS end_to_end slow TEST_FILTER StarvedRun.*
  PROPERTIES RUN_SERIAL TRUE TIMEOUT 120)

# The GUI module's window and boxes on Qt's offscreen platform.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
add_executable(qt_tests qt/qt_window_test.cpp)
set_target_properties(qt_tests PROPERTIES AUTOMOC ON)
target_link_libraries(qt_tests PRIVATE tessarin_linux tessarin_test_support tessarin_warnings
  Qt6::Widgets Qt6::Test)
target_compile_definitions(qt_tests PRIVATE TESSARIN_GUI_MODULE="$<TARGET_FILE:tessarin_gui>")
add_dependencies(qt_tests tessarin_gui)
add_test(NAME qt_window_and_message_box COMMAND qt_tests)
set_tests_properties(qt_window_and_message_box PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
# The same at twice the scale, on a screen of twice the pixels.
add_test(NAME qt_window_and_message_box_at_twice_the_scale COMMAND qt_tests)
set_tests_properties(qt_window_and_message_box_at_twice_the_scale PROPERTIES ENVIRONMENT
  "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_CURRENT_SOURCE_DIR}/qt/screen_twice_the_pixels.json;QT_SCALE_FACTOR=2")

# The window's path boxes with a scripted dialog: drops, Browse, completion, tooltips.
add_executable(qt_path_box_tests qt/path_box_test.cpp)
set_target_properties(qt_path_box_tests PROPERTIES AUTOMOC ON)
target_link_libraries(qt_path_box_tests PRIVATE tessarin_gui_window tessarin_warnings Qt6::Test)
add_test(NAME qt_path_boxes COMMAND qt_path_box_tests)
set_tests_properties(qt_path_boxes PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
set_property(TEST qt_window_and_message_box qt_window_and_message_box_at_twice_the_scale qt_path_boxes
             APPEND PROPERTY LABELS linux)

# The real program's window on Xvfb, driven with xdotool; leaves a screenshot.
add_test(NAME window_under_xvfb
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/xvfb/window_under_xvfb.sh $<TARGET_FILE:tessarin>
                 ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(window_under_xvfb PROPERTIES TIMEOUT 120)
# Pointer clicks in every box, at normal size and at twice the scale.
add_test(NAME window_clicks_under_xvfb
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/xvfb/window_clicks_under_xvfb.sh $<TARGET_FILE:tessarin>
                 ${CMAKE_CURRENT_BINARY_DIR} ${PROJECT_SOURCE_DIR}/src/config_window/layout.h)
set_tests_properties(window_clicks_under_xvfb PROPERTIES TIMEOUT 120)
# The path boxes with real keys, pointer and file dialogs; the names AT-SPI reads.
add_test(NAME path_boxes_under_xvfb
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/xvfb/path_boxes_under_xvfb.sh $<TARGET_FILE:tessarin>)
set_tests_properties(path_boxes_under_xvfb PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
# The real program's window and boxes on a Wayland compositor (headless sway).
add_test(NAME window_under_sway
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wayland/window_under_sway.sh $<TARGET_FILE:tessarin>)
set_tests_properties(window_under_sway PROPERTIES TIMEOUT 120)
# Display servers and the tools that drive them, as the desktops' tests use.
set_property(TEST window_under_xvfb window_clicks_under_xvfb path_boxes_under_xvfb window_under_sway
             APPEND PROPERTY LABELS desktops)

# The desktops the wallpaper is applied to, with their settings services.
add_subdirectory(desktops)

# The README says each thing once: no section heading twice.
add_test(NAME readme_sections_once
         COMMAND sh -c "! grep '^## ' '${PROJECT_SOURCE_DIR}/README.md' | sort | uniq -d | grep -q .")
set_property(TEST readme_sections_once APPEND PROPERTY LABELS source)
# Hostile pictures (small files that declare great work or memory), each run
# through the built program as canvas, as inset (and some as both), within
# the whole run's bounds, read from the header the program keeps them in.
# Serial: the bounds are measured, so nothing else should run beside them;
# slow, then: about a minute in all.
set(run_limits ${PROJECT_SOURCE_DIR}/src/limits/run_limits.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${run_limits})
file(STRINGS ${run_limits} run_bounds REGEX " kRun(Seconds|MiB) = ")
string(REGEX MATCH " kRunSeconds = ([0-9]+)" _ "${run_bounds}")
set(run_seconds ${CMAKE_MATCH_1})
string(REGEX MATCH " kRunMiB = ([0-9]+)" _ "${run_bounds}")
set(run_mib ${CMAKE_MATCH_1})
if(NOT run_seconds OR NOT run_mib)
  message(FATAL_ERROR "src/limits/run_limits.h: kRunSeconds or kRunMiB not found as a plain number")
endif()
foreach(picture pattern_brushes.wmf zero_width_blits.wmf save_dc.wmf palettes.wmf dotted_lines.wmf
        infinite_viewport.wmf wide_row.bmp huge_canvas.bmp large_canvas.bmp large_frame.wmf text_pile_up.wmf
        fuzz_ends_early.gif fuzz_defective.gif fuzz_wide_dashed_pen.wmf)
  add_test(NAME hostile_${picture}
           COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/hostile/run_hostile_pictures.py
                   --seconds ${run_seconds} --mib ${run_mib} $<TARGET_FILE:tessarin> ${picture})
  set_tests_properties(hostile_${picture} PROPERTIES RUN_SERIAL TRUE TIMEOUT 200 LABELS "end_to_end;slow")
endforeach()

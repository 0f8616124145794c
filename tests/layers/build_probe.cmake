# Builds one include probe (tests/layers/CMakeLists.txt) and checks the outcome:
# "builds" must build; "fails" must fail because HEADER is not found, and for
# no other reason.
#   cmake -DBUILD_DIR=... -DTARGET=... -DCONFIG=... -DHEADER=... -DEXPECTED=builds|fails -P build_probe.cmake
if(CONFIG)
  set(config --config ${CONFIG})
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET} ${config}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
string(REGEX REPLACE "([][+.*?^$()])" "\\\\\\1" header_pattern "${HEADER}")
if(EXPECTED STREQUAL "builds")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TARGET} should build, but:\n${output}")
  endif()
  message(STATUS "${TARGET} builds: ${HEADER} is seen")
elseif(status EQUAL 0)
  message(FATAL_ERROR "${TARGET} built: ${HEADER} is seen across a forbidden layer")
elseif(NOT output MATCHES "${header_pattern}: No such file or directory")
  message(FATAL_ERROR "${TARGET} failed, but not for want of ${HEADER}:\n${output}")
else()
  message(STATUS "${TARGET} does not build: ${HEADER} is not seen")
endif()

# Run by CPack on the staged files, before it makes the .deb
# (CPACK_PRE_BUILD_SCRIPTS, packaging/CMakeLists.txt).
#
# The programs lose the sections Debian does not ship (the compilers' .comment,
# the .note), and the package's Depends come from dpkg-shlibdeps here rather
# than from CPack: CPack's own search for shared libraries also writes ldconfig
# into postinst and postrm for anything below /usr/lib, which the private
# modules in /usr/lib/tessarin do not need.
set(root ${CPACK_TEMPORARY_DIRECTORY})
file(GLOB_RECURSE staged LIST_DIRECTORIES false ${root}/usr/bin/* ${root}/usr/lib/tessarin/*)
list(SORT staged)
foreach(file IN LISTS staged)
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${file}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# dpkg-shlibdeps wants a source package's control file where it runs.
set(work ${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps)
file(REMOVE_RECURSE ${work})
file(WRITE ${work}/debian/control "")
# (It warns that the files are not below debian/: they are staged elsewhere.)
execute_process(COMMAND dpkg-shlibdeps -O ${staged} WORKING_DIRECTORY ${work}
                RESULT_VARIABLE status OUTPUT_VARIABLE substvars ERROR_VARIABLE warnings
                OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REGEX REPLACE "^shlibs:Depends=" "" CPACK_DEBIAN_PACKAGE_DEPENDS "${substvars}")
if(NOT status EQUAL 0 OR NOT CPACK_DEBIAN_PACKAGE_DEPENDS)
  message(FATAL_ERROR "dpkg-shlibdeps found no dependencies of ${staged}:\n${warnings}")
endif()

# One target per folder of src/, seeing only the headers of the targets it links.
#
# Headers are included as "folder/file.h" from src/, so no target may export
# src/ itself: that would let every file include every header. Instead each
# target gets an include root of its own in the build tree that holds links to
# its folder's headers only (not its subfolders'), and exports that root to what
# links it. An include across a layer the target does not link finds no file.
#
#   tessarin_folder_target(<target>
#     [MODULE]                  a run-time module (default: a static library, or
#                               headers only when there are no SOURCES)
#     [FOLDER <path>]           the folder, from src/ (default: the current one)
#     [SOURCES <file>...]
#     [HEADERS <file>...]       export only these of the folder's headers
#     [LINKS <target>...]       folder targets it uses: linked, headers seen by it
#                               and by what links it
#     [HEADERS_OF <target>...]  folder targets whose headers only it includes
#                               (a module cannot link the program's libraries)
#     [PRIVATE <library>...]    libraries used inside only
#   )
#
# Beside <target> it defines <target>_headers, the headers alone (with those
# of the targets it links), for whatever must see them without linking.
function(tessarin_folder_target target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "MODULE" "FOLDER"
                        "SOURCES;HEADERS;LINKS;HEADERS_OF;PRIVATE")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "tessarin_folder_target(${target}): unknown ${arg_UNPARSED_ARGUMENTS}")
  endif()
  set(src ${PROJECT_SOURCE_DIR}/src)
  if(NOT arg_FOLDER)
    file(RELATIVE_PATH arg_FOLDER ${src} ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  if(NOT arg_HEADERS)
    file(GLOB arg_HEADERS CONFIGURE_DEPENDS RELATIVE ${src}/${arg_FOLDER} ${src}/${arg_FOLDER}/*.h)
  endif()

  # Remade at each configure, so a header removed from the folder goes too.
  set(root ${PROJECT_BINARY_DIR}/include_roots/${target})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${arg_FOLDER})
  foreach(header IN LISTS arg_HEADERS)
    file(CREATE_LINK ${src}/${arg_FOLDER}/${header} ${root}/${arg_FOLDER}/${header} SYMBOLIC)
  endforeach()

  add_library(${target}_headers INTERFACE)
  target_include_directories(${target}_headers INTERFACE ${root})
  list(TRANSFORM arg_LINKS APPEND _headers OUTPUT_VARIABLE linked_headers)
  list(TRANSFORM arg_HEADERS_OF APPEND _headers OUTPUT_VARIABLE seen_headers)
  target_link_libraries(${target}_headers INTERFACE ${linked_headers} ${seen_headers})

  if(arg_MODULE)
    add_library(${target} MODULE ${arg_SOURCES})
  elseif(arg_SOURCES)
    add_library(${target} STATIC ${arg_SOURCES})
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${target}_headers ${arg_LINKS})
    return()
  endif()
  target_link_libraries(${target} PUBLIC ${target}_headers ${arg_LINKS}
                        PRIVATE ${arg_PRIVATE} tessarin_warnings)
endfunction()

# The resources every Windows program of the project carries: its application
# manifest and its version resource, both made from the templates beside this
# file with the version of project() (the one place the number is written).
#
#   cr_windows_resources(TARGET "One line on what the program is")

enable_language(RC)

set(CR_PRODUCT_NAME "Colour reduction test tool")

# VERSIONINFO and the manifest's assembly identity both want four numbers of
# 16 bits each; project() may give fewer.
set(_cr_version_parts)
foreach(part MAJOR MINOR PATCH TWEAK)
  set(_cr_value "${PROJECT_VERSION_${part}}")
  if(_cr_value STREQUAL "")
    set(_cr_value 0)
  endif()
  if(_cr_value GREATER 65535)
    message(FATAL_ERROR "Version ${PROJECT_VERSION}: Windows keeps each part of a file's version in 16 bits")
  endif()
  list(APPEND _cr_version_parts ${_cr_value})
endforeach()
list(JOIN _cr_version_parts "." CR_VERSION_QUAD)
list(JOIN _cr_version_parts "," CR_VERSION_COMMAS)

# GCC for MinGW-w64 links default-manifest.o when the toolchain has one (some
# distributions ship it): a second RT_MANIFEST 1 beside ours, and which one
# Windows would read is not ours to choose. Debian's has none.
execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=default-manifest.o
                OUTPUT_VARIABLE _cr_default_manifest OUTPUT_STRIP_TRAILING_WHITESPACE)
if(IS_ABSOLUTE "${_cr_default_manifest}" AND EXISTS "${_cr_default_manifest}")
  message(FATAL_ERROR "${CMAKE_C_COMPILER} links its own manifest (${_cr_default_manifest}) into every program, "
                      "which would clash with the programs' own; use a toolchain without it.")
endif()

function(cr_windows_resources target description)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(CR_PROGRAM ${name})
  set(CR_PROGRAM_FILE ${name}${CMAKE_EXECUTABLE_SUFFIX})
  set(CR_PROGRAM_DESCRIPTION "${description}")
  set(CR_MANIFEST_FILE ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program.manifest.in ${CR_MANIFEST_FILE} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program.rc.in ${rc} @ONLY)
  # windres reads the manifest through the .rc: rebuild when it changes.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${CR_MANIFEST_FILE})
  target_sources(${target} PRIVATE ${rc})
endfunction()

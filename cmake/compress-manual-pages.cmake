# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) on the files staged for the .deb:
# gzip -9n each manual page, as Debian keeps them (-n: no name or time
# stamp inside, so that the same pages give the same bytes).
file(GLOB_RECURSE staged "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.[1-9]")
foreach(page IN LISTS staged)
  if(page MATCHES "/man/man[1-9]/[^/]+$")
    execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "gzip failed on ${page}")
    endif()
  endif()
endforeach()

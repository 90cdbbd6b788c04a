# Run by CPack on the staged package, after every install rule: compresses
# the manual pages and the changelog with gzip -9n, as Debian wants them (no
# name or time stamp in the archive, so the package is reproducible).
set(_vx_root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
file(GLOB _vx_files
    "${_vx_root}/${CPACK_VX_MANDIR}/man*/*.[1-9]"
    "${_vx_root}/${CPACK_VX_DOCDIR}/changelog")
foreach(_vx_file IN LISTS _vx_files)
    execute_process(COMMAND gzip -9nf "${_vx_file}" RESULT_VARIABLE _vx_result)
    if(NOT _vx_result EQUAL 0)
        message(FATAL_ERROR "gzip ${_vx_file}: ${_vx_result}")
    endif()
endforeach()

# ST6UNST.LOG in the program folder: every file this installation put down,
# one absolute path per line, UTF-8, LF line ends. The uninstall tool removes
# exactly these files, then the log itself and the folders left empty. The log
# does not list itself. Paths under the prefix are written with the prefix in
# its canonical form, the form in which the uninstaller finds its own folder.
# Runs after every other install rule, when the manifest is complete.

if(CMAKE_INSTALL_PREFIX MATCHES "[\n\r;]")
    message(FATAL_ERROR
        "The install prefix must not contain a line break or ';': ${CMAKE_INSTALL_PREFIX}")
endif()

set(_vx_destdir "$ENV{DESTDIR}")
cmake_path(SET _vx_prefix NORMALIZE "${CMAKE_INSTALL_PREFIX}")
if(NOT _vx_prefix STREQUAL "/")
    string(REGEX REPLACE "/+$" "" _vx_prefix "${_vx_prefix}")
endif()
if(_vx_destdir STREQUAL "")
    file(REAL_PATH "${_vx_prefix}" _vx_listed_prefix)
else()
    # Staged for packaging: the files are not where they will be used.
    set(_vx_listed_prefix "${_vx_prefix}")
endif()

set(_vx_log "${_vx_prefix}/lib/vxmeter/ST6UNST.LOG")
cmake_path(APPEND _vx_listed_prefix "lib/vxmeter/ST6UNST.LOG" OUTPUT_VARIABLE _vx_listed_log)

# The manifest lists the paths without DESTDIR.
set(_vx_entries "")
foreach(_vx_file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
    cmake_path(SET _vx_file NORMALIZE "${_vx_file}")
    cmake_path(IS_PREFIX _vx_prefix "${_vx_file}" NORMALIZE _vx_under)
    if(_vx_under)
        cmake_path(RELATIVE_PATH _vx_file BASE_DIRECTORY "${_vx_prefix}"
            OUTPUT_VARIABLE _vx_relative)
        cmake_path(APPEND _vx_listed_prefix "${_vx_relative}" OUTPUT_VARIABLE _vx_file)
    endif()
    if(NOT _vx_file STREQUAL _vx_listed_log)
        list(APPEND _vx_entries "${_vx_file}")
    endif()
endforeach()
list(REMOVE_DUPLICATES _vx_entries)
list(JOIN _vx_entries "\n" _vx_text)

message(STATUS "Installing: ${_vx_destdir}${_vx_log}")
file(WRITE "${_vx_destdir}${_vx_log}" "${_vx_text}\n")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_vx_log}")

# Writes the desktop entry for the prefix being installed to and installs it.
# Exec and Icon are absolute, so the entry works for a prefix that is not on
# the PATH or not among the desktop's data folders.
# Needs VX_PACKAGING_SOURCE_DIR and VX_PACKAGING_BINARY_DIR.

# A string value: a backslash is written as two.
function(vx_desktop_string out value)
    string(REPLACE "\\" "\\\\" value "${value}")
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

# One Exec argument, always in double quotes: inside them a backslash, double
# quote, backquote and dollar sign take a backslash; "%" is written "%%";
# then the whole is a string value as above.
function(vx_desktop_exec out path)
    string(REPLACE "\\" "\\\\" path "${path}")
    string(REPLACE "\"" "\\\"" path "${path}")
    string(REPLACE "`" "\\`" path "${path}")
    string(REPLACE "$" "\\$" path "${path}")
    string(REPLACE "%" "%%" path "${path}")
    vx_desktop_string(path "\"${path}\"")
    set(${out} "${path}" PARENT_SCOPE)
endfunction()

set(_vx_folder "${CMAKE_INSTALL_PREFIX}/lib/vxmeter")
vx_desktop_exec(VX_DESKTOP_EXEC "${_vx_folder}/vxmeter")
vx_desktop_exec(VX_DESKTOP_UNINSTALL "${_vx_folder}/uninstaller")
vx_desktop_string(VX_DESKTOP_ICON
    "${CMAKE_INSTALL_PREFIX}/share/icons/hicolor/scalable/apps/vxmeter.svg")

configure_file("${VX_PACKAGING_SOURCE_DIR}/vxmeter.desktop.in"
    "${VX_PACKAGING_BINARY_DIR}/vxmeter.desktop" @ONLY)
file(INSTALL "${VX_PACKAGING_BINARY_DIR}/vxmeter.desktop"
    DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")

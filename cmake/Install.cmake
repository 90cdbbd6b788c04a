# Two ways to install the program, chosen with VX_INSTALL_LAYOUT:
#
# prefix (the default): cmake --install <build> --prefix <prefix>
#
#   <prefix>/lib/vxmeter/           the program folder, self-contained:
#       vxmeter  uninstaller  st6unst  Help.mhf  ST6UNST.LOG
#   <prefix>/bin/vxmeter            launcher, relative link to ../lib/vxmeter/vxmeter
#   <prefix>/share/applications/vxmeter.desktop
#   <prefix>/share/icons/hicolor/scalable/apps/vxmeter.svg
#
#   ST6UNST.LOG lists every installed file and is written by the last rule;
#   the uninstaller removes exactly those files again.
#
# debian: the Debian package, built by CPack (scripts/package.sh), see
#   packaging/Package.cmake. The package manager installs and removes it.

set(VX_INSTALL_LAYOUT prefix CACHE STRING
    "prefix: self-contained program folder with its own uninstaller; debian: the Debian package")
set_property(CACHE VX_INSTALL_LAYOUT PROPERTY STRINGS prefix debian)

set(_vx_packaging ${CMAKE_CURRENT_SOURCE_DIR}/packaging)

if(VX_INSTALL_LAYOUT STREQUAL "debian")
    include(${_vx_packaging}/Package.cmake)
    return()
elseif(NOT VX_INSTALL_LAYOUT STREQUAL "prefix")
    message(FATAL_ERROR "VX_INSTALL_LAYOUT must be prefix or debian, not ${VX_INSTALL_LAYOUT}")
endif()

set(VX_PROGRAM_FOLDER lib/vxmeter)

install(TARGETS vxmeter uninstaller st6unst RUNTIME DESTINATION ${VX_PROGRAM_FOLDER})
install(FILES ${CMAKE_BINARY_DIR}/bin/Help.mhf DESTINATION ${VX_PROGRAM_FOLDER})

install(FILES ${_vx_packaging}/vxmeter.svg DESTINATION share/icons/hicolor/scalable/apps)
if(UNIX)
    install(SCRIPT ${_vx_packaging}/launcher.cmake)
endif()
install(CODE "
    set(VX_PACKAGING_SOURCE_DIR [==[${_vx_packaging}]==])
    set(VX_PACKAGING_BINARY_DIR [==[${CMAKE_BINARY_DIR}/packaging]==])
")
install(SCRIPT ${_vx_packaging}/desktop-entry.cmake)

# Last: the log of everything installed above.
install(SCRIPT ${_vx_packaging}/install-log.cmake)

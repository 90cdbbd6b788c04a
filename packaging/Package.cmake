# The Debian package (VX_INSTALL_LAYOUT=debian, built by scripts/package.sh
# with CMAKE_INSTALL_PREFIX=/usr):
#
#   /usr/bin/<program>                   every program with a page in packaging/man
#   /usr/libexec/vxmeter/uninstaller     says how to remove the package
#   /usr/lib/vxmeter/<module>.so         parts vxlog loads when a run asks for them
#   /usr/share/vxmeter/Help.mhf          found by the program from ../share/vxmeter
#   /usr/share/applications/vxmeter.desktop
#   /usr/share/icons/hicolor/scalable/apps/vxmeter.svg
#   /usr/share/man/man1/<program>.1.gz
#   /usr/share/doc/vxmeter/              README.md, copyright, changelog.gz
#   /usr/lib/vxmeter/<module>.so         loaded by a program when a run asks for it
#   /usr/share/lintian/overrides/vxmeter
#
# The package manager owns these files: there is no installation log and no
# uninstall tool in the package.

include(GNUInstallDirs)

set(VX_PACKAGE_NAME vxmeter)
set(VX_PACKAGE_PRIVATE_DIR ${CMAKE_INSTALL_LIBEXECDIR}/${VX_PACKAGE_NAME})
set(_vx_stage ${CMAKE_BINARY_DIR}/packaging)

# One manual page per program on the PATH: the pages name the programs.
file(GLOB _vx_pages CONFIGURE_DEPENDS ${_vx_packaging}/man/*.1)
set(VX_PACKAGE_PROGRAMS "")
foreach(_vx_page IN LISTS _vx_pages)
    get_filename_component(_vx_program ${_vx_page} NAME_WE)
    if(TARGET ${_vx_program})
        get_target_property(_vx_type ${_vx_program} TYPE)
    endif()
    if(NOT TARGET ${_vx_program} OR NOT _vx_type STREQUAL "EXECUTABLE")
        message(FATAL_ERROR "packaging/man/${_vx_program}.1 documents no program of this build")
    endif()
    list(APPEND VX_PACKAGE_PROGRAMS ${_vx_program})
endforeach()
install(TARGETS ${VX_PACKAGE_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${_vx_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The uninstaller of a package install only tells how to remove the package.
install(TARGETS uninstaller RUNTIME DESTINATION ${VX_PACKAGE_PRIVATE_DIR})
target_compile_definitions(vxuninstall PRIVATE VX_PACKAGE_NAME="${VX_PACKAGE_NAME}")

install(FILES ${CMAKE_BINARY_DIR}/bin/Help.mhf DESTINATION ${CMAKE_INSTALL_DATADIR}/vxmeter)
install(FILES ${_vx_packaging}/vxmeter.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The menu entry names the program by its name on the PATH and the icon by
# its theme name, as every packaged desktop entry does.
set(VX_DESKTOP_EXEC vxmeter)
set(VX_DESKTOP_ICON vxmeter)
set(VX_DESKTOP_UNINSTALL ${CMAKE_INSTALL_PREFIX}/${VX_PACKAGE_PRIVATE_DIR}/uninstaller)
configure_file(${_vx_packaging}/vxmeter.desktop.in ${_vx_stage}/vxmeter.desktop @ONLY)
install(FILES ${_vx_stage}/vxmeter.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The one changelog entry: this version, dated at configure time (or by
# SOURCE_DATE_EPOCH for a reproducible build).
set(VX_PACKAGE_MAINTAINER "Velmora Corporation <support@velmora.example>"
    CACHE STRING "Maintainer field of the Debian package")
string(TIMESTAMP VX_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${_vx_packaging}/changelog.in ${_vx_stage}/changelog @ONLY)
set(_vx_doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/${VX_PACKAGE_NAME})
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${_vx_packaging}/copyright ${_vx_stage}/changelog
    DESTINATION ${_vx_doc})
# The modules under /usr/lib make CPack's maintainer scripts call ldconfig.
install(FILES ${_vx_packaging}/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${VX_PACKAGE_NAME})

# What the package needs built; scripts/package.sh builds only this.
# Modules (cmake/Modules.cmake) install themselves in /usr/lib/vxmeter.
get_property(_vx_modules GLOBAL PROPERTY VX_MODULES)
add_custom_target(package-programs DEPENDS ${VX_PACKAGE_PROGRAMS} ${_vx_modules} uninstaller helpfile)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VX_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_CONTACT ${VX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote control and data logging for VX260/VX480 multimeters")
# The long description; CPack indents it under the summary and turns the
# empty line into the paragraph mark " .".
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "vxmeter controls the Velmora VX260 and VX480 bench digital multimeters over"
    "a serial port: function, range, rate, trigger, display, hold and relative"
    "reference, single and continuous readings, logged to a CSV file and shown"
    "in a live trend plot, and a console for raw SCPI commands."
    ""
    "vxsim simulates either meter on a pseudo-terminal, for trying the program"
    "and for testing without an instrument.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binaries (dpkg-shlibdeps). Qt loads its
# platform plugins at run time, out of sight of dpkg-shlibdeps: the window
# needs xcb (or wayland) from qt6-qpa-plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The display boxes are drawn in Arial or a font of the same metrics.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Manual pages and the changelog are compressed as Debian wants them, after
# every install rule has run (including those of other folders).
set(CPACK_PRE_BUILD_SCRIPTS ${_vx_packaging}/compress-docs.cmake)
set(CPACK_VX_MANDIR ${CMAKE_INSTALL_MANDIR})
set(CPACK_VX_DOCDIR ${_vx_doc})
include(CPack)

# The launcher on the PATH: <prefix>/bin/vxmeter, a relative symbolic link into
# the program folder, so the installed tree can be moved as a whole. The
# program finds Help.mhf beside its real location, not beside the link.
set(_vx_launcher "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/vxmeter")
message(STATUS "Installing: ${_vx_launcher} -> ../lib/vxmeter/vxmeter")
file(MAKE_DIRECTORY "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
file(REMOVE "${_vx_launcher}")
file(CREATE_LINK "../lib/vxmeter/vxmeter" "${_vx_launcher}" SYMBOLIC)
# The manifest holds paths without DESTDIR, as file(INSTALL) records them.
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_PREFIX}/bin/vxmeter")

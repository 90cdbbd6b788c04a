# vx_add_module(name SOURCES a.cpp ... LIBS lib ...): a part a program loads
# only when a run asks for it (vx::plugin::resolve), built as NAME.so beside
# the programs and installed in lib/vxmeter, which is ../lib/vxmeter from
# the folder of the programs in both layouts.
function(vx_add_module name)
    cmake_parse_arguments(M "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} MODULE ${M_SOURCES})
    target_link_libraries(${name} PRIVATE ${M_LIBS})
    set_target_properties(${name} PROPERTIES
        PREFIX ""
        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
    vx_target_defaults(${name})
    install(TARGETS ${name} LIBRARY DESTINATION lib/vxmeter)
    set_property(GLOBAL APPEND PROPERTY VX_MODULES ${name})
endfunction()

# Precompiled headers (VX_PCH, GCC only): cmake/Precompiled.h compiled once
# for each group of targets that see it alike, and reused by every target of
# the group. GCC uses a precompiled header only where each macro it tests has
# the same definition, and the header tests the macros of the Qt modules a
# target links (QT_WIDGETS_LIB, QT_TESTLIB_LIB; QtTest also QT_GUI_LIB and
# QT_NETWORK_LIB): targets are grouped by those modules. A header that could
# not be used is a warning (-Winvalid-pch), so a change that breaks the
# sharing shows in the build log.
#
# vx_target_defaults() enters each target; the groups are made once every
# target of the project is known, at the end of the top-level CMakeLists.txt.

option(VX_PCH "Precompile the Qt and standard headers (GCC)" ON)

function(vx_precompile target)
    if(VX_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        set_property(GLOBAL APPEND PROPERTY VX_PCH_TARGETS ${target})
    endif()
endfunction()

# The Qt modules whose macros the header tests, among those target sees
# through its links: "Core;Widgets;Test", say. Empty without Qt Core.
function(_vx_pch_modules out target)
    set(seen "")
    get_target_property(queue ${target} LINK_LIBRARIES)
    if(NOT queue)
        set(queue "")
    endif()
    while(queue)
        list(POP_FRONT queue item)
        # Link-only entries bring no macros.
        if(item MATCHES "^\\$<" OR NOT TARGET ${item})
            continue()
        endif()
        get_target_property(aliased ${item} ALIASED_TARGET)
        if(aliased)
            set(item ${aliased})
        endif()
        if(item IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${item})
        get_target_property(next ${item} INTERFACE_LINK_LIBRARIES)
        if(next)
            list(APPEND queue ${next})
        endif()
    endwhile()
    set(modules "")
    foreach(module Core Gui Widgets Test Network)
        if(Qt6::${module} IN_LIST seen)
            list(APPEND modules ${module})
        endif()
    endforeach()
    # Only QtTest tests the network module's macro.
    if(NOT "Test" IN_LIST modules)
        list(REMOVE_ITEM modules Network)
    endif()
    if(NOT "Core" IN_LIST modules)
        set(modules "")
    endif()
    set(${out} "${modules}" PARENT_SCOPE)
endfunction()

function(_vx_precompile_all)
    get_property(targets GLOBAL PROPERTY VX_PCH_TARGETS)
    set(groups "")
    foreach(target IN LISTS targets)
        _vx_pch_modules(modules ${target})
        if(NOT modules)
            continue()
        endif()
        string(JOIN "" group ${modules})
        list(APPEND groups ${group})
        set_property(GLOBAL APPEND PROPERTY VX_PCH_GROUP_${group} ${target})
        set_property(GLOBAL PROPERTY VX_PCH_MODULES_${group} ${modules})
    endforeach()
    list(REMOVE_DUPLICATES groups)
    foreach(group IN LISTS groups)
        get_property(members GLOBAL PROPERTY VX_PCH_GROUP_${group})
        get_property(modules GLOBAL PROPERTY VX_PCH_MODULES_${group})
        # A header compiled for one file of one target saves nothing.
        set(files 0)
        foreach(target IN LISTS members)
            get_target_property(sources ${target} SOURCES)
            list(FILTER sources INCLUDE REGEX "\\.cpp$")
            list(LENGTH sources n)
            math(EXPR files "${files} + ${n}")
        endforeach()
        if(files LESS 2)
            continue()
        endif()
        set(donor vxpch_${group})
        add_library(${donor} OBJECT ${PROJECT_SOURCE_DIR}/cmake/Precompiled.cpp)
        list(TRANSFORM modules PREPEND Qt6:: OUTPUT_VARIABLE libraries)
        target_link_libraries(${donor} PRIVATE ${libraries})
        set_target_properties(${donor} PROPERTIES AUTOMOC OFF)
        vx_target_defaults(${donor})
        target_precompile_headers(${donor} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/Precompiled.h)
        foreach(target IN LISTS members)
            target_precompile_headers(${target} REUSE_FROM ${donor})
        endforeach()
    endforeach()
endfunction()

if(VX_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL _vx_precompile_all)
endif()

# Precompiled headers (VX_PCH, GCC only): cmake/Precompiled.h compiled once
# for each group of targets that see it alike, and reused by every target of
# the group.
#
# GCC uses a precompiled header only where each macro the header tests has
# the same definition as when it was compiled. Precompiled.h tests the macros
# of the Qt modules Widgets and Test (QT_WIDGETS_LIB, QT_TESTLIB_LIB), which a
# target has when it links the module, directly or through a library: the
# targets are grouped by those two modules. A header that could not be used
# is a warning (-Winvalid-pch), so a change that breaks the sharing shows in
# the build log.
#
# vx_target_defaults() enters each target; the groups are made once every
# target of the project is known, at the end of the top-level CMakeLists.txt.

option(VX_PCH "Precompile the Qt and standard headers (GCC)" ON)

function(vx_precompile target)
    if(VX_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        set_property(GLOBAL APPEND PROPERTY VX_PCH_TARGETS ${target})
    endif()
endfunction()

# The group of `target`: "Core", "CoreWidgets", "CoreTest" or
# "CoreWidgetsTest"; empty for a target without Qt.
function(_vx_pch_group out target)
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
    set(group "")
    if("Qt6::Core" IN_LIST seen)
        foreach(module Core Widgets Test)
            if(Qt6::${module} IN_LIST seen)
                string(APPEND group ${module})
            endif()
        endforeach()
    endif()
    set(${out} "${group}" PARENT_SCOPE)
endfunction()

# True when AUTOMOC finds a class to compile into the target's
# mocs_compilation.cpp: a Q_OBJECT, Q_GADGET or Q_NAMESPACE in a header of the
# target or beside one of its sources. Elsewhere (a test's own class is in its
# .moc, included by the test) that file is empty, and loading the
# precompiled header would be all its compiling costs.
function(_vx_has_moc_headers out target)
    get_target_property(automoc ${target} AUTOMOC)
    get_target_property(dir ${target} SOURCE_DIR)
    get_target_property(sources ${target} SOURCES)
    set(${out} FALSE PARENT_SCOPE)
    if(NOT automoc OR NOT sources)
        return()
    endif()
    foreach(source IN LISTS sources)
        if(NOT IS_ABSOLUTE "${source}")
            set(source ${dir}/${source})
        endif()
        string(REGEX REPLACE "\\.cpp$" ".h" header "${source}")
        if(header MATCHES "\\.h$" AND EXISTS "${header}")
            file(STRINGS "${header}" classes REGEX "Q_OBJECT|Q_GADGET|Q_NAMESPACE")
            if(classes)
                set(${out} TRUE PARENT_SCOPE)
                return()
            endif()
        endif()
    endforeach()
endfunction()

function(_vx_precompile_all)
    get_property(targets GLOBAL PROPERTY VX_PCH_TARGETS)
    set(groups "")
    foreach(target IN LISTS targets)
        # A target built with other optimisation flags than its group (VX_NO_PCH)
        # could not use the group's header.
        get_target_property(own ${target} VX_NO_PCH)
        if(own)
            continue()
        endif()
        _vx_pch_group(group ${target})
        if(group)
            list(APPEND groups ${group})
            set_property(GLOBAL APPEND PROPERTY VX_PCH_GROUP_${group} ${target})
        endif()
    endforeach()
    list(REMOVE_DUPLICATES groups)
    foreach(group IN LISTS groups)
        get_property(members GLOBAL PROPERTY VX_PCH_GROUP_${group})
        set(donor vxpch_${group})
        add_library(${donor} OBJECT ${PROJECT_SOURCE_DIR}/cmake/Precompiled.cpp)
        string(REGEX MATCHALL "[A-Z][a-z]+" modules ${group})
        list(TRANSFORM modules PREPEND Qt6::)
        target_link_libraries(${donor} PRIVATE ${modules})
        # The same flags as its group (entering it in the list read above
        # makes no group of it).
        vx_target_defaults(${donor})
        set_target_properties(${donor} PROPERTIES AUTOMOC OFF)
        target_precompile_headers(${donor} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/Precompiled.h)
        foreach(target IN LISTS members)
            target_precompile_headers(${target} REUSE_FROM ${donor})
            _vx_has_moc_headers(moc ${target})
            if(NOT moc)
                get_target_property(binary_dir ${target} BINARY_DIR)
                set_source_files_properties(
                    ${binary_dir}/${target}_autogen/mocs_compilation.cpp
                    TARGET_DIRECTORY ${target} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
            endif()
        endforeach()
    endforeach()
endfunction()

if(VX_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    cmake_language(DEFER CALL _vx_precompile_all)
endif()

# Warnings and Qt options shared by every target of the project.
function(vx_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    target_compile_definitions(${target} PRIVATE QT_NO_CONTEXTLESS_CONNECT)
    vx_precompile(${target})
endfunction()

if(VX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# VX_FUZZ (clang only) instruments every library for libFuzzer and adds the
# fuzz_* programs of the tests; scripts/fuzz-help.sh and fuzz-log.sh use it.
if(VX_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# vx_add_fuzzer(name SOURCES a.cpp ... LIBS lib ...): a libFuzzer program,
# built only when VX_FUZZ is on.
function(vx_add_fuzzer name)
    if(NOT VX_FUZZ)
        return()
    endif()
    cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    vx_target_defaults(${name})
endfunction()

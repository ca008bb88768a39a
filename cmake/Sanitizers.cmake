# AddressSanitizer + UndefinedBehaviorSanitizer on every target, and libFuzzer's coverage instrumentation
# when the fuzz targets are built too (one clang build serves both). Included before any target exists.
if(NOT CADCONS_SANITIZE AND NOT CADCONS_BUILD_FUZZ)
    return()
endif()
get_property(cadcons_languages GLOBAL PROPERTY ENABLED_LANGUAGES)
foreach(lang IN LISTS cadcons_languages)
    if(lang MATCHES "^(C|CXX)$" AND NOT CMAKE_${lang}_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "CADCONS_SANITIZE and CADCONS_BUILD_FUZZ need clang (CC=clang-14 CXX=clang++-14)")
    endif()
endforeach()

if(CADCONS_SANITIZE)
    # UB is an error, not a warning: without -fno-sanitize-recover a test would pass with a report in its log.
    set(cadcons_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
        -fno-optimize-sibling-calls "-fsanitize-ignorelist=${CMAKE_CURRENT_LIST_DIR}/sanitizer-ignorelist.txt")
    add_compile_options(${cadcons_sanitizers})
    add_link_options(-fsanitize=address,undefined)
    # A C program that loads our C++ library needs the C++ half of the UBSan runtime (vptr and function
    # checks), which the C driver leaves out, and the C++ library it depends on.
    add_link_options("$<$<LINK_LANGUAGE:C>:-fsanitize-link-c++-runtime;-lstdc++>")
endif()

if(CADCONS_BUILD_FUZZ)
    # Coverage for the fuzzer in the code under test; the runtime itself is linked into the fuzz targets only.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Sanitizer runtimes are linked into executables only, so a shared library has the runtime's symbols
# undefined until a (sanitized) process loads it: the module's --no-undefined cannot hold in this build.
function(cadcons_sanitizers_allow_undefined)
    if(TARGET cadconsumidor)
        set_property(TARGET cadconsumidor APPEND PROPERTY LINK_OPTIONS "LINKER:-z,undefs")
    endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL cadcons_sanitizers_allow_undefined)

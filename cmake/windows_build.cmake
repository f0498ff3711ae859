# Cross build (mingw): the installer, and on x86_64 the tests that run under Wine.
set(QUILLARY_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501)
# libgcc, libstdc++, winpthread and zlib all go into the exe: it imports system DLLs only.
set(QUILLARY_STATIC_LINK -static -static-libgcc -static-libstdc++)

add_subdirectory(installer)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    foreach(group win e2e)
        if(EXISTS ${CMAKE_SOURCE_DIR}/tests/${group}/CMakeLists.txt)
            add_subdirectory(tests/${group})
        endif()
    endforeach()
    if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
        add_subdirectory(bench)
    endif()
endif()

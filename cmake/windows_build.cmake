# Cross build (mingw): the product's programs, the payload, the installer, and on x86_64 the tests and benchmarks that run under Wine.
set(QUILLARY_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501)
# libgcc, libstdc++, winpthread and zlib all go into the exe: it imports system DLLs only.
set(QUILLARY_STATIC_LINK -static -static-libgcc -static-libstdc++)

# The product's programs and this architecture's payload, then the installer that carries it.
add_subdirectory(product)
add_subdirectory(installer)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    include(cmake/mingw_gtest.cmake)
    add_subdirectory(tests/e2e/support)
    add_subdirectory(tests/win)
    add_subdirectory(tests/e2e)
    add_subdirectory(bench)
endif()

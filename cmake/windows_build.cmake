# Cross build (mingw): the product's programs, the payload, the installer, and on x86_64 the tests and benchmarks that run under Wine.
set(QUILLARY_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501)
# libgcc, libstdc++, winpthread and zlib all go into the exe: it imports system DLLs only.
set(QUILLARY_STATIC_LINK -static -static-libgcc -static-libstdc++)

# Both builds: no build folder in the objects (assertion texts and the like name source files
# relative to the tree), and no time stamp in the PE header, so one commit gives one exe.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
add_link_options(-Wl,--no-insert-timestamp)

# The driving library and the e2e scenarios alone, for i686 (the native build's win32-tests
# tree): they drive the shipped exe under a 32-bit Wine (scripts/shipped.sh). Kept apart from the
# size-built win32 tree, whose options (no exceptions, no unwinding tables) would not suit them.
option(QUILLARY_E2E_ONLY "Build only the e2e tests and their driving library" OFF)
if(QUILLARY_E2E_ONLY)
    # Where the tests find this architecture's product tree and their own marker DLL.
    # Their waits are longer: they run under CPU emulation.
    add_compile_definitions(QUILLARY_PRODUCT_TREE="win32" QUILLARY_TESTS_TREE="win32-tests"
                            QUILLARY_DEFAULT_TIMEOUT_MS=30000)
    include(cmake/mingw_gtest.cmake)
    add_subdirectory(tests/e2e/support)
    add_subdirectory(tests/e2e)
    return()
endif()

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # The shipped exe is built for size (MinSizeRel: -Os). The installer is plain C-style code: no
    # exceptions, no run-time type information and no unwinding tables to carry, so nothing of
    # the C++ runtime is linked in. Unused functions are dropped at link time, symbols stripped.
    # (No -fdata-sections: this compiler then puts zero-filled statics in .data, in the file.)
    add_compile_options(-g0 -ffunction-sections -fno-asynchronous-unwind-tables -fno-unwind-tables
                        $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>
                        $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>)
    add_link_options(-s -Wl,--gc-sections)
endif()

# The product's programs and this architecture's payload, then the installer that carries it.
add_subdirectory(product)
add_subdirectory(installer)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    add_compile_definitions(QUILLARY_PRODUCT_TREE="win64" QUILLARY_TESTS_TREE="win64")
    include(cmake/mingw_gtest.cmake)
    add_subdirectory(tests/e2e/support)
    add_subdirectory(tests/win)
    add_subdirectory(tests/e2e)
    add_subdirectory(bench)
endif()

# Native build: payload tools, native tests, fuzzer, and the two cross builds of the installer.
include(ExternalProject)
enable_testing()

# Only what the shipped exe needs (the pack tool, the i686 build and its payload): the release
# test builds the installer this way twice, in two folders, and compares the bytes.
option(QUILLARY_SHIPPED_ONLY "Build only the shipped installer and what it needs" OFF)

add_library(quillary_core STATIC ${QUILLARY_CORE_SOURCES})
target_include_directories(quillary_core PUBLIC ${CMAKE_SOURCE_DIR}/installer)
target_compile_options(quillary_core PRIVATE -Wall -Wextra)
target_compile_definitions(quillary_core PRIVATE ${QUILLARY_VERSION_DEFINITION})

# The pack tool. Each cross build below makes its own programs and packs them with it into its
# own payload (product/CMakeLists.txt): win32/payload and win64/payload.
add_subdirectory(tools/pack)
set(QUILLARY_PRODUCT_DIR "" CACHE PATH
    "Pack this folder (all its files, in name order) instead of the generated sample product")

# The cross builds see the same sources; the build tree holds them as win32/ and win64/.
set(QUILLARY_CROSS_ARGS ${QUILLARY_CROSS_EXTRA_ARGS})
set(QUILLARY_ARCHES i686 x86_64)
if(QUILLARY_SHIPPED_ONLY)
    set(QUILLARY_ARCHES i686)
endif()
foreach(arch ${QUILLARY_ARCHES})
    # The shipped i686 exe is built for size; the x86_64 twin the tests run keeps Release.
    if(arch STREQUAL "i686")
        set(tree win32)
        set(type MinSizeRel)
    else()
        set(tree win64)
        set(type Release)
    endif()
    ExternalProject_Add(installer_${tree}
        SOURCE_DIR ${CMAKE_SOURCE_DIR}
        BINARY_DIR ${CMAKE_BINARY_DIR}/${tree}
        CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}.cmake
                   -DCMAKE_BUILD_TYPE=${type} ${QUILLARY_CROSS_ARGS}
                   -DQUILLARY_PACK=$<TARGET_FILE:pack>
                   -DQUILLARY_PRODUCT_DIR=${QUILLARY_PRODUCT_DIR}
        DEPENDS pack
        BUILD_ALWAYS ON
        INSTALL_COMMAND ""
        USES_TERMINAL_BUILD ON)
endforeach()

# The shipped installer, where README says it lands.
set(QUILLARY_SHIPPED ${CMAKE_BINARY_DIR}/Quillary-Setup.exe)
add_custom_target(shipped ALL
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/win32/installer/Quillary-Setup.exe
            ${QUILLARY_SHIPPED}
    DEPENDS installer_win32
    COMMENT "Shipped installer: ${QUILLARY_SHIPPED}")

if(QUILLARY_SHIPPED_ONLY)
    return()
endif()

# The payload the tests look at: the x86_64 twin's, with the tree it was packed from.
set(QUILLARY_PAYLOAD_DIR ${CMAKE_BINARY_DIR}/win64/payload)
if(QUILLARY_PRODUCT_DIR)
    set(QUILLARY_SAMPLE_TREE "")
else()
    set(QUILLARY_SAMPLE_TREE ${CMAKE_BINARY_DIR}/win64/sample-product)
endif()

# The e2e scenarios built for i686 too, to drive the shipped exe under a 32-bit Wine.
ExternalProject_Add(tests_win32
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/win32-tests
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
               -DCMAKE_BUILD_TYPE=Release -DQUILLARY_E2E_ONLY=ON
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON)

add_subdirectory(tests/unit)
add_subdirectory(tests/fuzz)
include(bench/extract.cmake)
include(cmake/wine_tests.cmake)

# The shipped exe built twice, in two folders from two copies of the sources: same bytes.
add_test(NAME release.reproducible
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/reproducible-build.sh ${CMAKE_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/reproducible)
set_tests_properties(release.reproducible PROPERTIES LABELS release TIMEOUT 1200)

include(cmake/shipped_tests.cmake)

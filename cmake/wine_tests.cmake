# Registers the Wine test groups (win, e2e) and the bench fixtures with ctest.
#
# The bench (Xvfb, Wine prefix, persistent wineserver) is started once by bench.start and stopped
# by bench.stop. Every Wine test takes the one lock `wine_bench`, so no two run at the same time:
# they share one screen, one prefix and one registry.

set(QUILLARY_WINEBENCH ${CMAKE_SOURCE_DIR}/scripts/winebench.sh)
set(QUILLARY_WINE_TEST ${CMAKE_SOURCE_DIR}/scripts/wine-test.sh)
set(QUILLARY_WIN64_DIR ${CMAKE_BINARY_DIR}/win64)

add_test(NAME bench.start COMMAND bash ${QUILLARY_WINEBENCH} start ${CMAKE_BINARY_DIR})
add_test(NAME bench.stop COMMAND bash ${QUILLARY_WINEBENCH} stop ${CMAKE_BINARY_DIR})
set_tests_properties(bench.start PROPERTIES
    FIXTURES_SETUP wine_bench RESOURCE_LOCK wine_bench LABELS "win;e2e;bench" TIMEOUT 180)
set_tests_properties(bench.stop PROPERTIES
    FIXTURES_CLEANUP wine_bench RESOURCE_LOCK wine_bench LABELS "win;e2e;bench" TIMEOUT 60)

# quillary_wine_test(<name> LABEL <label> EXE <path> [ARGS ...] [SCREEN WxHxD] [TIMEOUT s])
# Runs a Windows program of the cross build under Wine on the bench; with SCREEN, on a screen of
# that size (the bench's wineserver is restarted for it and restored afterwards).
function(quillary_wine_test name)
    cmake_parse_arguments(T "" "LABEL;EXE;SCREEN;TIMEOUT" "ARGS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 900)
    endif()
    set(run bash ${QUILLARY_WINE_TEST} ${CMAKE_BINARY_DIR} ${T_EXE} ${T_ARGS})
    if(T_SCREEN)
        set(run bash ${QUILLARY_WINEBENCH} with-screen ${CMAKE_BINARY_DIR} ${T_SCREEN} -- ${run})
    endif()
    add_test(NAME ${name} COMMAND ${run})
    set_tests_properties(${name} PROPERTIES
        LABELS ${T_LABEL} FIXTURES_REQUIRED wine_bench RESOURCE_LOCK wine_bench
        TIMEOUT ${T_TIMEOUT})
endfunction()

quillary_wine_test(win LABEL win EXE ${QUILLARY_WIN64_DIR}/tests/win/win_tests.exe TIMEOUT 600)
quillary_wine_test(e2e LABEL e2e EXE ${QUILLARY_WIN64_DIR}/tests/e2e/e2e_tests.exe)

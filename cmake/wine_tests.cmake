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
# The scenarios that need a screen or a drive of their own run only in the entries below, which
# make them; there they fail, never skip, when the set-up did not take effect.
set(QUILLARY_E2E_OWN_BENCH
    "CopyPageOnSmallC.*:ReinstallOnSmallC.*:SmallDrive.*:BackdropOnPaletteScreen.*:BackdropOnOddScreen.*:BrowserDrives.*:PlantedDlls.*:InstalledProduct.UninstallerLoadsNoDll*")
quillary_wine_test(e2e LABEL e2e EXE ${QUILLARY_WIN64_DIR}/tests/e2e/e2e_tests.exe
    ARGS --gtest_filter=-${QUILLARY_E2E_OWN_BENCH})

# The backdrop once more on a screen of odd height (the checkerboard's row parity counts from
# the bottom row), and on an 8-bit palette screen, where it is shown undarkened.
quillary_wine_test(e2e.odd-screen LABEL e2e SCREEN 1024x767x24 TIMEOUT 300
    EXE ${QUILLARY_WIN64_DIR}/tests/e2e/e2e_tests.exe ARGS --gtest_filter=BackdropOnOddScreen.*)
quillary_wine_test(e2e.palette-screen LABEL e2e SCREEN 1024x768x8 TIMEOUT 300
    EXE ${QUILLARY_WIN64_DIR}/tests/e2e/e2e_tests.exe ARGS --gtest_filter=BackdropOnPaletteScreen.*)

# Scenarios on a small C: (scripts/small-drive.sh with-small-c): each entry makes the
# drive its scenario names in QUILLARY_SMALL_C and runs that scenario alone; the scenario fails
# when C: is not that drive.
function(quillary_small_c_test name bytes scenario filter)
    add_test(NAME ${name}
        COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/small-drive.sh with-small-c ${CMAKE_BINARY_DIR}
                ${bytes} ${ARGN} -- bash ${QUILLARY_WINE_TEST} ${CMAKE_BINARY_DIR}
                ${QUILLARY_WIN64_DIR}/tests/e2e/e2e_tests.exe --gtest_filter=${filter})
    set_tests_properties(${name} PROPERTIES
        LABELS e2e FIXTURES_REQUIRED wine_bench RESOURCE_LOCK wine_bench TIMEOUT 300
        ENVIRONMENT QUILLARY_SMALL_C=${scenario})
endfunction()
# The copy page filling up a small C: (3698 KB free: enough for the free-space check, too little
# for the product), and a reinstallation filling one that already holds an installation
# (7737344 bytes leave about 3.8 MB beside it: enough for the check, too little for the new files
# beside the old ones moved aside).
quillary_small_c_test(e2e.copy-disk-full 3698000 disk-full CopyPageOnSmallC.*)
quillary_small_c_test(e2e.reinstall-disk-full 7737344 disk-full ReinstallOnSmallC.*)
quillary_small_c_test(e2e.destination-exact-space 3698000 3698000
    SmallDrive.ExactlyTheRequiredSpace*)
quillary_small_c_test(e2e.destination-low-space 3694592 3694592 SmallDrive.LessThanTheRequired*)
quillary_small_c_test(e2e.destination-above-4gib 4294971392 4294971392
    SmallDrive.FreeSpaceAboveFourGibibytes*)
quillary_small_c_test(e2e.destination-no-program-files 3698000 no-program-files
    SmallDrive.WithoutProgramFiles* --no-program-files)

# The directory browser on two small drives: E: with 3694 KB free (too little), F: with 16 MiB
# (room for the product). The scenario skips itself in the e2e group, where
# QUILLARY_BROWSER_DRIVES is unset.
add_test(NAME e2e.browser-drives
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/small-drive.sh with-drive ${CMAKE_BINARY_DIR} e 3694592
            -- bash ${CMAKE_SOURCE_DIR}/scripts/small-drive.sh with-drive ${CMAKE_BINARY_DIR} f
               16777216 -- bash ${QUILLARY_WINE_TEST} ${CMAKE_BINARY_DIR}
               ${QUILLARY_WIN64_DIR}/tests/e2e/e2e_tests.exe --gtest_filter=BrowserDrives.*)
set_tests_properties(e2e.browser-drives PROPERTIES
    LABELS e2e FIXTURES_REQUIRED wine_bench RESOURCE_LOCK wine_bench TIMEOUT 300
    ENVIRONMENT QUILLARY_BROWSER_DRIVES=e3694592-f16777216)

# The installer and the uninstaller with DLLs of system names planted beside them, Wine told to
# prefer native copies of those names (the list of tests/e2e/support/dll_markers.cpp; the
# scenarios fail when it is not in force).
add_test(NAME e2e.planted-dlls
    COMMAND bash ${QUILLARY_WINE_TEST} ${CMAKE_BINARY_DIR} ${QUILLARY_WIN64_DIR}/tests/e2e/e2e_tests.exe
            --gtest_filter=PlantedDlls.*:InstalledProduct.UninstallerLoadsNoDll*)
set_tests_properties(e2e.planted-dlls PROPERTIES
    LABELS e2e FIXTURES_REQUIRED wine_bench RESOURCE_LOCK wine_bench TIMEOUT 300
    ENVIRONMENT "QUILLARY_NATIVE_FIRST=comctl32,uxtheme,propsys,dwmapi,msimg32,oleacc,windowscodecs,shdocvw")

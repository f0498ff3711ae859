# The `shipped` group: the shipped i686 exe itself under Debian's 32-bit Wine by CPU emulation
# (scripts/shipped.sh), driven by the e2e scenarios built for i686 (win32-tests). Registered after
# every other group, so ctest runs it last, when a set-up started in the background by `make test`
# has had the build and the other groups' time to finish.
set(QUILLARY_SHIPPED_SH ${CMAKE_SOURCE_DIR}/scripts/shipped.sh)
set(QUILLARY_E2E_I686 ${CMAKE_BINARY_DIR}/win32-tests/tests/e2e/e2e_tests.exe)

# Set-up (chroot, qemu, prefixes: waits for or does the set-up), then mounts, screen, servers.
add_test(NAME shipped.start COMMAND bash ${QUILLARY_SHIPPED_SH} start ${CMAKE_BINARY_DIR})
add_test(NAME shipped.stop COMMAND bash ${QUILLARY_SHIPPED_SH} stop ${CMAKE_BINARY_DIR})
set_tests_properties(shipped.start PROPERTIES
    FIXTURES_SETUP shipped RESOURCE_LOCK shipped LABELS shipped TIMEOUT 1500)
set_tests_properties(shipped.stop PROPERTIES
    FIXTURES_CLEANUP shipped RESOURCE_LOCK shipped LABELS shipped TIMEOUT 120)

# quillary_shipped_test(<name> <win32|wow64> <gtest filter> [ENV var=value...])
function(quillary_shipped_test name prefix filter)
    cmake_parse_arguments(T "" "" "ENV" ${ARGN})
    add_test(NAME ${name}
        COMMAND bash ${QUILLARY_SHIPPED_SH} run ${CMAKE_BINARY_DIR} ${prefix} wine
                ${QUILLARY_E2E_I686} --gtest_filter=${filter})
    set_tests_properties(${name} PROPERTIES
        LABELS shipped FIXTURES_REQUIRED shipped RESOURCE_LOCK shipped TIMEOUT 600
        ENVIRONMENT "${T_ENV}")
endfunction()

# On a 32-bit Windows: the unattended installation (every file byte for byte against the i686
# product tree, the registry values, the links, the log, the exit code).
quillary_shipped_test(shipped.unattended win32 Unattended.InstallsTheDefaults*)
# The product's own i686 programs installed by it: the viewer started from the group's link,
# by its name alone (App Paths) and by the document type's open command, showing the picture.
quillary_shipped_test(shipped.installed-product win32 InstalledProduct.StartsFromItsShortcut*)
# The whole interactive installation through the directory browser and the shortcut page's
# folder browser from a folder of planted 32-bit marker DLLs, then an installation with the
# desktop link removed again through the Uninstall entry with marker DLLs in the temporary folder.
quillary_shipped_test(shipped.planted-dlls win32
    PlantedDlls.*:InstalledProduct.UninstallerLoadsNoDll*
    ENV "QUILLARY_NATIVE_FIRST=comctl32,uxtheme,propsys,dwmapi,msimg32,oleacc,windowscodecs,shdocvw")

# On a 64-bit Windows (WoW64): the unattended installation, then where its entries land and
# that 64-bit programs find it (tests/shipped/wow64.sh).
add_test(NAME shipped.wow64
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/shipped/wow64.sh ${CMAKE_BINARY_DIR} ${QUILLARY_E2E_I686})
set_tests_properties(shipped.wow64 PROPERTIES
    LABELS shipped FIXTURES_REQUIRED shipped RESOURCE_LOCK shipped TIMEOUT 600)

# The portable core: installer logic without <windows.h>, compiled natively (unit tests, fuzzer,
# payload tools) and into the installer.
set(QUILLARY_CORE_SOURCES
    ${CMAKE_SOURCE_DIR}/installer/backdrop/checkerboard.cpp
    ${CMAKE_SOURCE_DIR}/installer/payload/archive_reader.cpp
    ${CMAKE_SOURCE_DIR}/installer/payload/copy_journal.cpp
    ${CMAKE_SOURCE_DIR}/installer/common/entry_names.cpp
    ${CMAKE_SOURCE_DIR}/installer/payload/payload_stream.cpp
    ${CMAKE_SOURCE_DIR}/installer/payload/progress_math.cpp
    ${CMAKE_SOURCE_DIR}/installer/common/paths.cpp
    ${CMAKE_SOURCE_DIR}/installer/common/setup_switches.cpp
    ${CMAKE_SOURCE_DIR}/installer/common/versions.cpp
    ${CMAKE_SOURCE_DIR}/installer/pages/destination_rules.cpp
    ${CMAKE_SOURCE_DIR}/installer/pages/browser_moves.cpp
    ${CMAKE_SOURCE_DIR}/installer/system/registry_entries.cpp
)

# The product programs' portable parts: no <windows.h>, compiled into the programs and natively
# into the unit tests.
set(QUILLARY_PRODUCT_CORE_SOURCES
    ${CMAKE_SOURCE_DIR}/product/quillary/command_line.cpp
    ${CMAKE_SOURCE_DIR}/product/quillary/bitmap_file.cpp
    ${CMAKE_SOURCE_DIR}/product/quillary/removal_report.cpp
    ${CMAKE_SOURCE_DIR}/product/quillary/entry_folders.cpp
)

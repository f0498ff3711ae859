# The native extraction benchmark: <build>/bench/extract (also `make bench-extract`): the
# installer's extraction core and the payload tool's unpack, each against tar -xzf.
find_package(ZLIB REQUIRED)
add_executable(bench_extract ${CMAKE_SOURCE_DIR}/bench/extract.cpp)
set_target_properties(bench_extract PROPERTIES OUTPUT_NAME extract
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
target_compile_options(bench_extract PRIVATE -O2 -Wall -Wextra)
target_link_libraries(bench_extract PRIVATE quillary_core ZLIB::ZLIB)
target_compile_definitions(bench_extract PRIVATE
    QUILLARY_PAYLOAD="${QUILLARY_PAYLOAD_DIR}/payload.gz" QUILLARY_PACK="$<TARGET_FILE:pack>")
add_dependencies(bench_extract installer_win64 pack)

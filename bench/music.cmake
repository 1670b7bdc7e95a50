# Music player: decoding and the output stage, per frame.
add_executable(bench-music ${CMAKE_CURRENT_LIST_DIR}/music_bench.cpp)
target_link_libraries(bench-music PRIVATE music benchmark::benchmark benchmark::benchmark_main)
target_compile_definitions(bench-music PRIVATE HALCYON_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

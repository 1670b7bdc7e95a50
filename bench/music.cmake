# Music player: decoding and the output stage, per frame.
add_executable(music_bench ${CMAKE_CURRENT_LIST_DIR}/music_bench.cpp)
target_link_libraries(music_bench PRIVATE music benchmark::benchmark benchmark::benchmark_main)
target_compile_definitions(music_bench PRIVATE HALCYON_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

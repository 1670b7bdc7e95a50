# Math library: the depth sort, keyframe evaluation and per-vertex transforms.
add_executable(bench-math ${CMAKE_CURRENT_LIST_DIR}/math_bench.cpp)
target_link_libraries(bench-math PRIVATE math benchmark::benchmark benchmark::benchmark_main)

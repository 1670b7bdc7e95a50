# Math library: the depth sort, keyframe evaluation and per-vertex transforms.
add_executable(math_bench ${CMAKE_CURRENT_LIST_DIR}/math_bench.cpp)
target_link_libraries(math_bench PRIVATE math benchmark::benchmark benchmark::benchmark_main)

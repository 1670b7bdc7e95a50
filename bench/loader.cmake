# Object loading: LightWave objects with large concave polygons, built as the engine
# builds a "Geometry" entry (bench-loader).
add_executable(bench-loader ${CMAKE_CURRENT_LIST_DIR}/loader_bench.cpp)
target_link_libraries(bench-loader PRIVATE geometry lwo_writer benchmark::benchmark
                                           benchmark::benchmark_main)

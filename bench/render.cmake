# Renderer: a busy scene played through the demo driver, per frame (whole frame, the
# engine's own work, the board's share, heap allocations), and the offline renderer.
add_executable(bench-render ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp
                            ${CMAKE_CURRENT_LIST_DIR}/allocation_counter.cpp)
target_link_libraries(bench-render PRIVATE demo offline_render lwo_writer glide
                                           benchmark::benchmark)

# The brains' per-frame cost (bench-brains): one file bench/brain_NAME_bench.cpp per class.
file(GLOB brain_benches CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/brain_*_bench.cpp)
if(brain_benches)
  add_executable(bench-brains ${brain_benches} ${CMAKE_CURRENT_LIST_DIR}/allocation_counter.cpp)
  target_link_libraries(bench-brains PRIVATE demo brains render lwo_writer benchmark::benchmark
                                             benchmark::benchmark_main)
  target_compile_definitions(bench-brains PRIVATE HALCYON_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()

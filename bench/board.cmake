# Software board benchmarks (bench-board); with OSMesa, the reference scene also runs on
# Mesa's llvmpipe for comparison.
add_executable(bench-board ${CMAKE_CURRENT_LIST_DIR}/board_bench.cpp)
target_link_libraries(bench-board PRIVATE glide benchmark::benchmark benchmark::benchmark_main)
pkg_check_modules(OSMESA IMPORTED_TARGET osmesa)
if(OSMESA_FOUND)
  target_compile_definitions(bench-board PRIVATE HALCYON_HAVE_OSMESA)
  target_link_libraries(bench-board PRIVATE PkgConfig::OSMESA)
endif()

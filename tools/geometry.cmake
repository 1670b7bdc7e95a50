# Geometry tools: the LightWave object writer library and the object inspector.
add_library(lwo_writer STATIC ${CMAKE_CURRENT_LIST_DIR}/lwo_writer.cpp)
target_include_directories(lwo_writer PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(lwo_writer PUBLIC app math)

halcyon_tool(halcyon-inspect SOURCES ${CMAKE_CURRENT_LIST_DIR}/halcyon_inspect.cpp
             DEPS geometry textures lwo_writer)

# The geometry tests run the inspector end to end.
if(TARGET geometry_tests)
  add_dependencies(geometry_tests halcyon-inspect)
endif()

# Writes the fuzz seeds: lwo-make-seeds fuzz/seeds/lwo_fuzz
halcyon_tool(lwo-make-seeds SOURCES ${CMAKE_CURRENT_LIST_DIR}/lwo_make_seeds.cpp DEPS lwo_writer)

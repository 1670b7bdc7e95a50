# halcyon-render: offline, frame-exact rendering of a description (PNG, video, WAV).
add_library(offline_render STATIC ${CMAKE_CURRENT_LIST_DIR}/offline_render.cpp)
target_include_directories(offline_render PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(offline_render PUBLIC demo music png_writer)
halcyon_tool(halcyon-render SOURCES ${CMAKE_CURRENT_LIST_DIR}/halcyon_render.cpp
             DEPS offline_render)

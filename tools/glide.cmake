# glide-testcard OUT.png: renders the board's test card and writes it as a PNG.
find_package(PNG REQUIRED)
add_library(png_writer STATIC ${CMAKE_CURRENT_LIST_DIR}/png_writer.cpp)
target_include_directories(png_writer PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(png_writer PUBLIC PNG::PNG)
halcyon_tool(glide-testcard SOURCES ${CMAKE_CURRENT_LIST_DIR}/glide_testcard.cpp
             DEPS glide png_writer)

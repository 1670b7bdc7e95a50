# glide-testcard OUT.png: renders the board's test card and writes it as a PNG.
find_package(PNG REQUIRED)
halcyon_tool(glide-testcard SOURCES ${CMAKE_CURRENT_LIST_DIR}/glide_testcard.cpp
             DEPS glide PNG::PNG)

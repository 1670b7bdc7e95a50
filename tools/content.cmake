# halcyon-tundra-content: writes the default demo's objects and textures (`make content`).
halcyon_tool(halcyon-tundra-content SOURCES ${CMAKE_CURRENT_LIST_DIR}/tundra_content.cpp
             DEPS lwo_writer)

# halcyon-tundra-content: writes the default demo's objects and textures (`make content`).
halcyon_tool(halcyon-tundra-content SOURCES ${CMAKE_CURRENT_LIST_DIR}/tundra_content.cpp
             DEPS lwo_writer)
# halcyon-music-content: synthesises the default demo's music as a WAVE file (`make content`
# encodes it to data/music/drift07.mp3). The synthesiser is a library so tests can call it.
add_library(music_synth STATIC ${CMAKE_CURRENT_LIST_DIR}/music_synth.cpp)
target_include_directories(music_synth PUBLIC ${PROJECT_SOURCE_DIR})
halcyon_tool(halcyon-music-content SOURCES ${CMAKE_CURRENT_LIST_DIR}/music_content.cpp
             DEPS music_synth)

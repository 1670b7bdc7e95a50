# halcyon-tundra-content: writes the default demo's objects and textures (`make content`).
# One file per kind of content: noise and file formats, textures, land and ice, made
# things, the lettering drawn as strokes, and the 3D letters built from it.
halcyon_tool(halcyon-tundra-content
             SOURCES ${CMAKE_CURRENT_LIST_DIR}/tundra/main.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/tundra/common.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/tundra/textures.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/tundra/objects.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/tundra/world_objects.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/tundra/font.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/tundra/letters.cpp
             DEPS lwo_writer)
target_include_directories(halcyon-tundra-content PRIVATE ${PROJECT_SOURCE_DIR})
# halcyon-music-content: synthesises the default demo's music as a WAVE file (`make content`
# encodes it to data/music/drift07.mp3). The synthesiser is a library so tests can call it.
add_library(music_synth STATIC ${CMAKE_CURRENT_LIST_DIR}/music_synth.cpp)
target_include_directories(music_synth PUBLIC ${PROJECT_SOURCE_DIR})
halcyon_tool(halcyon-music-content SOURCES ${CMAKE_CURRENT_LIST_DIR}/music_content.cpp
             DEPS music_synth)

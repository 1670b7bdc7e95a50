# The music player's decoding and output stage on arbitrary stream files. Seeds in
# seeds/music_fuzz/ are small committed streams.
halcyon_fuzz(music_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/music_fuzz.cpp DEPS music)

# Image files to texels and mip-maps.
halcyon_fuzz(image_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/image_fuzz.cpp DEPS textures)

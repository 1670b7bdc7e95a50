# LightWave object reader and mesh build. Seeds in seeds/lwo_fuzz/ are written by
# lwo-make-seeds (tools/geometry.cmake).
halcyon_fuzz(lwo_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/lwo_fuzz.cpp DEPS geometry)

# The lexer and parser of the scene language, with a round trip through the canonical text.
halcyon_fuzz(parser_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/parser_fuzz.cpp DEPS scene_lang)

# halcyon-check: parses a demo description and prints its tree in canonical form.
halcyon_tool(halcyon-check SOURCES ${CMAKE_CURRENT_LIST_DIR}/halcyon_check.cpp DEPS scene_lang)
# The scene language tests run the built program.
if(TARGET scene_lang_tests)
  add_dependencies(scene_lang_tests halcyon-check)
endif()

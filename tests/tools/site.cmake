# The site tool: its commands in-process, and the built program once.
if(TARGET walkmere_sitetool)
  walkmere_test(site_tool_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/site_create_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/site_escape_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/site_exec_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/site_output_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/site_read_test.cpp
    LIBS walkmere_sitetool
    LABELS tools
  )
  # One test runs the program itself; it finds it here when WALKMERE_BUILD_DIR is not set.
  add_dependencies(site_tool_tests walkmere-site)
  target_compile_definitions(site_tool_tests PRIVATE
    WALKMERE_SITE_PROGRAM="$<TARGET_FILE:walkmere-site>")
endif()

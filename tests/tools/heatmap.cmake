# Coverage maps and reports of the site tool.
if(TARGET walkmere_sitetool)
  walkmere_test(heatmap_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/heatmap_grid_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/heatmap_pixels_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/heatmap_command_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/heatmap_demo_test.cpp
    LIBS walkmere_sitetool
    LABELS tools
  )
endif()

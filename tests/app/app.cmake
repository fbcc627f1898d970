walkmere_test(app_core_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/measurement_pacer_test.cpp
)

if(WALKMERE_UI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  walkmere_test(app_frame_tests UI SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/frame_views_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frame_board_test.cpp
    LIBS Qt6::Test walkmere_board
  )
endif()

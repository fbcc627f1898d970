# The signature pad, the sign-off dialog and the save command on real widgets.
if(WALKMERE_UI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  walkmere_test(app_save_tests UI SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/save_pad_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/testkit/QtTestApp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/save_dialog_test.cpp
    LIBS Qt6::Test
  )
endif()

if(WALKMERE_UI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  walkmere_test(app_dialogs_tests UI SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dialogs_QtApp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialogs_options_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialogs_legend_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialogs_help_about_test.cpp
    LIBS Qt6::Test
  )
endif()

if(WALKMERE_UI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  walkmere_test(app_dialogs_tests UI SOURCES
    ${PROJECT_SOURCE_DIR}/tests/testkit/QtTestApp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialogs_options_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialogs_legend_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialogs_help_about_test.cpp
    LIBS Qt6::Test
  )
endif()

# Survey store and point measurement.
walkmere_test(survey_store_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/store_find_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_commit_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_load_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_reader_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_fault_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_crash_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_repair_test.cpp
  TIMEOUT 180
)

# Saving a site: the signature block, the safe copy and the save flow.
walkmere_test(survey_save_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/save_signature_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/save_copy_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/save_flow_test.cpp
)

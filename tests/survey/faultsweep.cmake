# Every store operation against a failure at each of its writes, flushes and truncations.
walkmere_test(survey_faultsweep_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/faultsweep_store_test.cpp
  TIMEOUT 300
)

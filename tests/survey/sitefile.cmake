# Site-file validation, the open flow's file half and the bitmap header reader.
walkmere_test(sitefile_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sitefile_bmp_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sitefile_validate_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sitefile_open_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sitefile_keep_points_test.cpp
  LABELS survey
)

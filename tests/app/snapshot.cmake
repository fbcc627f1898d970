# The JPEG writer and the snapshot command, checked by decoding what they write.
if(WALKMERE_UI)
  walkmere_test(app_snapshot_tests UI SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/snapshot_jpeg_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/snapshot_take_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/testkit/QtTestApp.cpp
    LIBS JPEG::JPEG
  )
endif()

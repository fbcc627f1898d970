# The scan view: Qt.
target_sources(walkmere_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ScanPainter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScanView.h
  ${CMAKE_CURRENT_LIST_DIR}/ScanView.cpp)

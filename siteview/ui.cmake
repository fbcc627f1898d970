# The site view and the drawing it shares with the other views: Qt.
target_sources(walkmere_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DrawBitmapResource.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Fonts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SiteMapPainter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SiteView.h
  ${CMAKE_CURRENT_LIST_DIR}/SiteView.cpp)

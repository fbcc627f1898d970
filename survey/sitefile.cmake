# Site-file validation, the file half of the open flow, and the bitmap header reader.
target_sources(walkmere_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/BmpInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SiteFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SiteOpenFlow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SiteOpening.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TempFile.cpp
)

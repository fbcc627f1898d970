# The site view's input, the open-site flow's view half and the Location Information dialog: Qt.
target_sources(walkmere_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/LocationInfoDlg.h
  ${CMAKE_CURRENT_LIST_DIR}/LocationInfoDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OpenSiteFlow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SiteViewInput.cpp)

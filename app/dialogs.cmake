# The Options, Help and About dialogs and the RSSI colour legend.
target_sources(walkmere_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DialogFont.h
  ${CMAKE_CURRENT_LIST_DIR}/RssiLegend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OptionsDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HelpDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AboutDlg.cpp
)

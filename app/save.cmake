# The sign-off dialog with its signature pad, and the save command built on them.
target_sources(walkmere_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SignOffDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SignaturePad.cpp
)

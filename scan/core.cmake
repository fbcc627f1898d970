# Scan engine: the live AP table and the board protocol that feeds it.
target_sources(walkmere_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/LiveApTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BoardProtocol.cpp
)

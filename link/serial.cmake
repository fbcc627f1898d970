# The serial link to the board and its worker thread.
target_sources(walkmere_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SerialLink.cpp
)

target_sources(walkmere_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Wav.cpp)
if(WALKMERE_UI)
  target_sources(walkmere_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/AlsaSoundPlayer.cpp)
endif()

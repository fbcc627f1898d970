# Viewport arithmetic, the RSSI colour ramp, the ruler ticks and the dashed walk path: no Qt.
target_sources(walkmere_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Viewport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RssiColour.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Ruler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DashedLine.cpp)

# The screen snapshot: capture of the active view and its JPEG writer.
target_sources(walkmere_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/JpegWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Snapshot.cpp
)

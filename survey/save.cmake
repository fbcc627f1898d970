# Saving a site: the signature block and the copy under another name.
target_sources(walkmere_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SaveSite.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SignatureBlock.cpp
)

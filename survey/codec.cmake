# Floor-plan codec: the code tree, the decoders, the block reader and the block writer.
target_sources(walkmere_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/HuffmanTree.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HuffmanDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CodecStreams.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BitmapExpander.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BitmapCompressor.cpp
)

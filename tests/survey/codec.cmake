# Floor-plan codec: code tree, decoders, block reader and writer.
walkmere_test(codec_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/codec_tree_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/codec_decoder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/codec_block_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/codec_bound_test.cpp
  LABELS survey codec
)

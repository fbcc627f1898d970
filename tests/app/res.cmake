walkmere_test(res_tests UI
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/res_images.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/res_sounds.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/res_generator.cpp
  TIMEOUT 180
)
if(TARGET res_tests)
  # Where the committed res/ folder is, for runs without WALKMERE_SOURCE_DIR in the environment.
  target_compile_definitions(res_tests PRIVATE WALKMERE_RES_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()

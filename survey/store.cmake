# Survey store and point measurement.
target_sources(walkmere_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FileOps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HeardApList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PointsReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SafetyCopy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SurveyStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SurveyStoreCommit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SurveyStoreRepair.cpp
)

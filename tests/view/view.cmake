# The editor server's tests link its object library against the library's
# own objects, like every other test program.
if(TARGET test_view AND TARGET talvox_view)
  target_link_libraries(test_view PRIVATE talvox_view)
endif()
if(TARGET test_view)
  target_sources(test_view PRIVATE ${PROJECT_SOURCE_DIR}/tools/talvox/plot_choices.cpp
                 ${PROJECT_SOURCE_DIR}/tools/talvox/f0_track.cpp ${PROJECT_SOURCE_DIR}/tools/talvox/safe_write.cpp)
  target_include_directories(test_view PRIVATE ${PROJECT_SOURCE_DIR}/tools/talvox)
endif()

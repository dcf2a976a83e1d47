# The editor server's tests link its object library against the library's
# own objects, like every other test program.
if(TARGET test_view AND TARGET talvox_view)
  target_link_libraries(test_view PRIVATE talvox_view)
endif()

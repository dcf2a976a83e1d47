# The end-to-end tests run the built talvox binary (and, through it, pap.exe).
if(TARGET test_cli AND TARGET talvox_cli)
  add_dependencies(test_cli talvox_cli)
  if(TARGET pap)
    add_dependencies(test_cli pap)
  endif()
endif()
# The audio tests write and read files of every format with libsndfile.
if(TARGET test_cli AND TARGET PkgConfig::SNDFILE)
  target_link_libraries(test_cli PRIVATE PkgConfig::SNDFILE)
endif()
# The command's own helpers that need no binary.
if(TARGET test_cli)
  target_include_directories(test_cli PRIVATE ${PROJECT_SOURCE_DIR}/tools/talvox)
  target_sources(test_cli PRIVATE ${PROJECT_SOURCE_DIR}/tools/talvox/f0_track.cpp)
endif()

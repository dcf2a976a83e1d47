# The readers and writers of the exchange files are tested alone, without
# the command-line tool around them.
if(TARGET test_interop)
  file(GLOB interop_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/talvox/interop/*.cpp)
  target_sources(test_interop PRIVATE ${interop_sources})
  target_include_directories(test_interop PRIVATE ${PROJECT_SOURCE_DIR}/tools/talvox/interop)
endif()

# The editor's server and page (talvox view). Its code is an object library
# so that the server's own tests can link it against the library's objects.
find_package(PkgConfig REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
find_package(nlohmann_json 3 REQUIRED)

set(TALVOX_VIEW_DIR ${CMAKE_CURRENT_SOURCE_DIR}/view)
file(GLOB TALVOX_VIEW_WEB CONFIGURE_DEPENDS ${TALVOX_VIEW_DIR}/web/*)
file(GLOB TALVOX_VIEW_SOURCES CONFIGURE_DEPENDS ${TALVOX_VIEW_DIR}/*.cpp)
set(TALVOX_VIEW_ASSETS ${CMAKE_CURRENT_BINARY_DIR}/view_assets.cpp)
string(REPLACE ";" "|" TALVOX_VIEW_WEB_LIST "${TALVOX_VIEW_WEB}")
add_custom_command(OUTPUT ${TALVOX_VIEW_ASSETS}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${TALVOX_VIEW_ASSETS} "-DSOURCES=${TALVOX_VIEW_WEB_LIST}"
          -P ${TALVOX_VIEW_DIR}/embed_assets.cmake
  DEPENDS ${TALVOX_VIEW_WEB} ${TALVOX_VIEW_DIR}/embed_assets.cmake
  COMMENT "Building the editor page into the program" VERBATIM)

add_library(talvox_view OBJECT ${TALVOX_VIEW_SOURCES} ${TALVOX_VIEW_ASSETS})
# Beside its own headers it uses the tool's F0 track and file writes
# (f0_track.h, safe_write.h), which the program links.
target_include_directories(talvox_view PUBLIC ${TALVOX_VIEW_DIR} ${PROJECT_SOURCE_DIR}/include
                           ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(talvox_view PUBLIC PkgConfig::HTTPLIB nlohmann_json::nlohmann_json Threads::Threads)

# Linked directly, the object library puts its objects into the program.
target_link_libraries(talvox_cli PRIVATE talvox_view)

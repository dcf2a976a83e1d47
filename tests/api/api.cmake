add_test(NAME api.exports_match_header
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/check_exports.sh $<TARGET_FILE:talvox> ${PROJECT_SOURCE_DIR}/include/talvox.h)

add_executable(api_c_header ${CMAKE_CURRENT_LIST_DIR}/c_header.c)
set_target_properties(api_c_header PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
target_link_libraries(api_c_header PRIVATE talvox)
add_test(NAME api.c_header_compiles_and_runs COMMAND api_c_header)

if(NOT TALVOX_SANITIZE)
  add_test(NAME api.install_and_consume
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/check_install.sh ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
endif()

if(NOT TALVOX_SANITIZE)
  add_test(NAME api.readme_c_example
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/check_readme_example.sh ${PROJECT_SOURCE_DIR} $<TARGET_FILE_DIR:talvox>)
endif()

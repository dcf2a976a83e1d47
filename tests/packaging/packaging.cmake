if(NOT TALVOX_SANITIZE AND TARGET talvox_cli)
  add_test(NAME packaging.install_holds_every_file
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/check_install_files.sh ${PROJECT_BINARY_DIR})
endif()

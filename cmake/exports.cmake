# Linker version script made from the public header: exactly the declared
# functions are global. Template instances of the standard library have
# default visibility whatever -fvisibility says, so the script is what keeps
# them out of the library's interface.
file(STRINGS ${PROJECT_SOURCE_DIR}/include/talvox.h header_lines REGEX "^TVX_API ")
set(export_list "")
foreach(line ${header_lines})
  string(REGEX MATCH "([A-Za-z_][A-Za-z0-9_]*)\\(" match "${line}")
  string(APPEND export_list "    ${CMAKE_MATCH_1};\n")
endforeach()
set(TALVOX_VERSION_SCRIPT ${PROJECT_BINARY_DIR}/talvox.map)
file(WRITE ${TALVOX_VERSION_SCRIPT}.in "{\n  global:\n${export_list}  local: *;\n};\n")
configure_file(${TALVOX_VERSION_SCRIPT}.in ${TALVOX_VERSION_SCRIPT} COPYONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/talvox.h)

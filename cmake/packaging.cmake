# What an installation holds beyond the library: man pages generated from
# the tool's own help, bash completion, the Python binding, and the Debian
# package made by CPack.

set(TALVOX_MAN_DIR ${PROJECT_BINARY_DIR}/man)
set(TALVOX_MAN_PAGES)
if(TARGET talvox_cli)
  set(pages
    "talvox|The overview of the talvox commands"
    "info|What an audio file holds and whether talvox takes it"
    "analyze|Segmentation, pitch marks and the element table"
    "resynth|A new pitch by pitch-synchronous overlap-add"
    "collect|The speech with its silences halved"
    "edit|Cut, copy, paste and delete with the annotation kept in step"
    "plot|An SVG picture of the annotated speech"
    "play|Play a file on the sound card"
    "record|Record from the sound card"
    "demo|The whole road on the recording shipped with talvox")
  foreach(entry ${pages})
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 command)
    list(GET entry 1 summary)
    if(command STREQUAL "talvox")
      set(title talvox)
      set(text_command $<TARGET_FILE:talvox_cli> --help)
      set(see_also "talvox-info(1), talvox-analyze(1), talvox-resynth(1), talvox-collect(1), talvox-edit(1), talvox-plot(1), talvox-play(1), talvox-record(1), talvox-demo(1), talvox(3)")
    else()
      set(title talvox-${command})
      set(text_command $<TARGET_FILE:talvox_cli> help ${command})
      set(see_also "talvox(1)")
    endif()
    set(page ${TALVOX_MAN_DIR}/${title}.1)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} "-DTEXT_COMMAND=${text_command}" -DTITLE=${title} -DSECTION=1
        "-DSUMMARY=${summary}" -DVERSION=${PROJECT_VERSION} "-DSEE_ALSO=${see_also}" -DOUTPUT=${page}
        -P ${PROJECT_SOURCE_DIR}/cmake/manpage.cmake
      DEPENDS talvox_cli ${PROJECT_SOURCE_DIR}/cmake/manpage.cmake
      COMMENT "Man page ${title}(1)" VERBATIM)
    list(APPEND TALVOX_MAN_PAGES ${page})
  endforeach()
endif()
set(c_page ${TALVOX_MAN_DIR}/talvox.3)
add_custom_command(OUTPUT ${c_page}
  COMMAND ${CMAKE_COMMAND} -DTEXT_FILE=${PROJECT_SOURCE_DIR}/include/talvox.h -DTITLE=talvox -DSECTION=3
    "-DSUMMARY=the C interface of the talvox speech library"
    "-DSYNOPSIS=#include <talvox.h>|cc prog.c -ltalvox   (or: pkg-config --cflags --libs talvox)"
    -DVERSION=${PROJECT_VERSION} "-DSEE_ALSO=talvox(1)" -DOUTPUT=${c_page}
    -P ${PROJECT_SOURCE_DIR}/cmake/manpage.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/include/talvox.h ${PROJECT_SOURCE_DIR}/cmake/manpage.cmake
  COMMENT "Man page talvox(3)" VERBATIM)
add_custom_target(talvox_man ALL DEPENDS ${TALVOX_MAN_PAGES} ${c_page})
install(FILES ${TALVOX_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${c_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man3)

if(TARGET talvox_cli)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/talvox.bash-completion
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME talvox)
endif()

# The Python binding goes where the system's python3 looks: Debian's own
# folder under /usr, the version's dist-packages under any other prefix.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(default_python_dir lib/python3/dist-packages)
else()
  set(python_version python3)
  if(EXISTS /usr/bin/python3)
    execute_process(COMMAND /usr/bin/python3 -c "import sys; print('python%d.%d' % sys.version_info[:2])"
      OUTPUT_VARIABLE python_version OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  set(default_python_dir lib/${python_version}/dist-packages)
endif()
set(TALVOX_PYTHON_DIR ${default_python_dir} CACHE STRING "Where the Python package is installed, below the prefix")
# The package finds the library it was installed with, whatever the prefix.
file(RELATIVE_PATH library_from_package /prefix/${TALVOX_PYTHON_DIR}/talvox
  /prefix/${CMAKE_INSTALL_LIBDIR}/libtalvox.so.${PROJECT_VERSION_MAJOR})
file(WRITE ${PROJECT_BINARY_DIR}/python/_location.py
  "\"\"\"Where cmake --install put the library, relative to this package.\"\"\"\n"
  "LIBRARY_FROM_PACKAGE = \"${library_from_package}\"\n")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/talvox DESTINATION ${TALVOX_PYTHON_DIR}
  PATTERN __pycache__ EXCLUDE PATTERN *.pyc EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/python/_location.py DESTINATION ${TALVOX_PYTHON_DIR}/talvox)

# A system-wide install is usable at once: the linker cache learns the
# library (not for staged installs, packages or a user's own prefix).
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND EXISTS /sbin/ldconfig)
    if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr(/local)?$\")
      execute_process(COMMAND /sbin/ldconfig RESULT_VARIABLE status ERROR_QUIET)
      if(NOT status EQUAL 0)
        message(STATUS \"run ldconfig as root so programs find libtalvox\")
      endif()
    endif()
  endif()")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvox)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "talvox developers <talvox@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The Python binding needs these (its libsndfile comes with the tool's).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, python3-numpy")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${PROJECT_DESCRIPTION}
 The talvox command, its library (libtalvox, C interface), the external
 pitch program pap.exe, the Python binding, man pages and bash completion.")
include(CPack)

# make dist: a folder to take away, with both programs, the README and the
# example run beside them, so that "vantor < answers.txt" works in it as
# unpacked. A .tar.gz from the Linux build, a .zip from the Windows build,
# both written to build/dist of the source tree.
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
file(GLOB VANTOR_EXAMPLE_FILES ${CMAKE_SOURCE_DIR}/examples/riser/*)
install(FILES ${VANTOR_EXAMPLE_FILES} DESTINATION .)

if(WIN32)
  set(VANTOR_DIST_SYSTEM windows)
  set(CPACK_GENERATOR ZIP)
else()
  string(TOLOWER ${CMAKE_SYSTEM_NAME} VANTOR_DIST_SYSTEM)
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_PACKAGE_NAME vantor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME vantor-${PROJECT_VERSION}-${VANTOR_DIST_SYSTEM}-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_SOURCE_DIR}/build/dist)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)

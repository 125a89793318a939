# The unit tests of the platform layer and of freeinput/math for Windows:
# GoogleTest built from Debian's sources with the cross compiler, the test program run under Wine
# (CMAKE_CROSSCOMPILING_EMULATOR of the toolchain file) by CTest.
set(VANTOR_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${VANTOR_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Under Wine with the build's private prefix, without its log.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY= ${CMAKE_CROSSCOMPILING_EMULATOR})
add_executable(vantor_platform_tests ${CMAKE_SOURCE_DIR}/tests/textio/platform/platform_layer_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/freeinput/math_table_test.cpp)
target_link_libraries(vantor_platform_tests PRIVATE vantor_text gtest gtest_main)
include(GoogleTest)
gtest_discover_tests(vantor_platform_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 120)

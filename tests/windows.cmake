# The Windows build's unit tests, run through Wine by scripts/test.sh. GoogleTest
# is built from its sources with the same compiler. The tests that start the
# Linux binary, reach ODBC in process or set the POSIX locale variables stay
# with the Linux build, and so do those that name ICU locales; the end-to-end comparison of the two builds runs there
# (tests/e2e/windows_build_test.cpp).
set(QJ_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${QJ_GTEST_SOURCE} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB QJ_WINDOWS_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*_win.cpp)
add_library(qj_test_support STATIC ${CMAKE_CURRENT_SOURCE_DIR}/support/test_bytes.cpp ${QJ_WINDOWS_TEST_SUPPORT})
target_include_directories(qj_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(qj_test_support PUBLIC qjcore gtest PRIVATE qj_warnings)

file(GLOB QJ_WINDOWS_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/*_win_test.cpp)
foreach(portable IN ITEMS
    dbconn/converted_ini dbconn/plain_value driver/run_sequence extract/sort_weight_table platform/code_page
    querydef/placeholder querydef/profile_reader)
  list(APPEND QJ_WINDOWS_UNIT_TESTS ${CMAKE_CURRENT_SOURCE_DIR}/${portable}_test.cpp)
endforeach()
add_executable(qj_unit_tests ${QJ_WINDOWS_UNIT_TESTS})
target_link_libraries(qj_unit_tests PRIVATE qj_test_support gtest_main qj_warnings)

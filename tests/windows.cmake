# The Windows build's unit tests, run through Wine by scripts/test.sh. GoogleTest
# is built from its sources with the same compiler. The tests that start the
# Linux binary, reach ODBC in process or set the POSIX locale variables stay
# with the Linux build, and so do those that name ICU locales; the end-to-end comparison of the two builds runs there
# (tests/e2e/windows_build_test.cpp).
set(QJ_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${QJ_GTEST_SOURCE} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_library(qj_test_support STATIC support/random_records.cpp support/test_bytes.cpp support/test_files_win.cpp)
target_include_directories(qj_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(qj_test_support PUBLIC qjcore gtest PRIVATE qj_warnings)

add_executable(qj_unit_tests
  platform/windows_platform_win_test.cpp
  dbconn/converted_ini_test.cpp
  dbconn/plain_value_test.cpp
  driver/run_sequence_test.cpp
  extract/sort_weight_table_test.cpp
  platform/code_page_test.cpp
  platform/page_block_test.cpp
  querydef/placeholder_test.cpp
  querydef/profile_reader_test.cpp)
target_link_libraries(qj_unit_tests PRIVATE qj_test_support gtest_main qj_warnings)

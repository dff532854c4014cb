# Real font collections for the collection tests (tests/fonts/fetch-collections.sh): four of
# Debian's packages unpacked into the build tree, with the entry names fontTools reads from them.
add_test(NAME fonts.collections
         COMMAND ${CMAKE_SOURCE_DIR}/tests/fonts/fetch-collections.sh ${CMAKE_BINARY_DIR}/fonts/collections)
set_tests_properties(fonts.collections PROPERTIES FIXTURES_SETUP collections TIMEOUT 600)
foreach(test ${VORLA_GTESTS})
  if(test MATCHES "^Collections\\.")
    set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED "wine;collections" TIMEOUT 600)
  endif()
endforeach()
# The real collections once more under a Chinese locale (ANSI code page 936): the same entry names.
add_test(NAME Collections.RealCollectionsFromDebian.zh_CN
         COMMAND ${VORLA_WINE_RUN} $<TARGET_FILE:vorla_tests> --gtest_filter=Collections.RealCollectionsFromDebian)
set_tests_properties(Collections.RealCollectionsFromDebian.zh_CN PROPERTIES
  FIXTURES_REQUIRED "wine;collections" TIMEOUT 600
  ENVIRONMENT "VORLA_TEST_LANG=zh_CN.UTF-8;VORLA_EXPECT_ACP=936"
  PASS_REGULAR_EXPRESSION "\\[  (PASSED |SKIPPED) \\] 1 test\\.")

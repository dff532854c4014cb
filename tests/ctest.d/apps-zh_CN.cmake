# Window recognition once more under a Chinese locale (Wine's ANSI code page 936): titles are read
# wide and kept in UTF-8, so "工作簿1" is recognised and listed exactly there too.
add_test(NAME Recognition.ListsWhatTheTableRecognises.zh_CN
         COMMAND ${VORLA_WINE_RUN} $<TARGET_FILE:vorla_tests> --gtest_filter=Table/Recognition.*)
set_tests_properties(Recognition.ListsWhatTheTableRecognises.zh_CN PROPERTIES
  FIXTURES_REQUIRED wine TIMEOUT 300
  ENVIRONMENT "VORLA_TEST_LANG=zh_CN.UTF-8"
  # Every case of the table ran and passed (a filter that matches nothing would pass silently).
  PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 13 tests\\.")

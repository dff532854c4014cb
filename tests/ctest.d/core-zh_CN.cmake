# The installation core once more under a Chinese locale, where Wine's ANSI code page is 936:
# names and paths outside any ANSI code page must come through unchanged there too.
add_test(NAME PersistentInstall.AnyTextInAnyCodePage.zh_CN
         COMMAND ${VORLA_WINE_RUN} $<TARGET_FILE:vorla_tests> --gtest_filter=PersistentInstall.AnyTextInAnyCodePage)
set_tests_properties(PersistentInstall.AnyTextInAnyCodePage.zh_CN PROPERTIES
  FIXTURES_REQUIRED wine TIMEOUT 300
  ENVIRONMENT "VORLA_TEST_LANG=zh_CN.UTF-8;VORLA_EXPECT_ACP=936"
  # Exactly the one case ran and passed (a filter that matches nothing would pass silently).
  PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test\\.")

# The installation core once more under a Chinese locale, where Wine's ANSI code page is 936:
# names and paths outside any ANSI code page must come through unchanged there too.
add_test(NAME PersistentInstall.AnyTextInAnyCodePage.zh_CN
         COMMAND ${VORLA_WINE_RUN} $<TARGET_FILE:vorla_tests> --gtest_filter=PersistentInstall.AnyTextInAnyCodePage)
set_tests_properties(PersistentInstall.AnyTextInAnyCodePage.zh_CN PROPERTIES
  FIXTURES_REQUIRED wine TIMEOUT 300
  ENVIRONMENT "VORLA_TEST_LANG=zh_CN.UTF-8;VORLA_EXPECT_ACP=936"
  # Exactly the one case ran and passed (a filter that matches nothing would pass silently).
  PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test\\.")

# Marlet uninstalling what an earlier Marlet run installed (English names, ASCII paths), in the same
# session as the rest of the suite, under code page 936: every font removed, status 0.
add_test(NAME Marlet.RoundTrips.zh_CN
         COMMAND ${VORLA_WINE_RUN} $<TARGET_FILE:vorla_tests>
                 --gtest_filter=MarletMessages.EachFontIsReportedBeforeTheNextOneIsProcessed:MarletListFile.AThousandFontsInOneRunEachWithItsMessage)
set_tests_properties(Marlet.RoundTrips.zh_CN PROPERTIES
  FIXTURES_REQUIRED wine TIMEOUT 300
  ENVIRONMENT "VORLA_TEST_LANG=zh_CN.UTF-8;VORLA_EXPECT_ACP=936"
  PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 2 tests\\.")

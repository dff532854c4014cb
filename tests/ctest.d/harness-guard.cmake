# The harness's guard against Wine's lost-desktop fault (tests/harness/guard.sh), in the run's session.
add_test(NAME harness.guard COMMAND ${CMAKE_SOURCE_DIR}/tests/harness/guard-test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(harness.guard PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)

# The harness's guard (tests/harness/guard.sh), in the run's session: against Wine's lost-desktop fault,
# and against a fixture that does not start (the test program's own case lives outside tests/unit/, so
# that it gets no ctest entry of its own: only the script runs it).
add_test(NAME harness.guard COMMAND ${CMAKE_SOURCE_DIR}/tests/harness/guard-test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(harness.guard PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)

target_sources(vorla_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/harness/FixtureRecoveryCase.cpp)
add_test(NAME harness.fixture_recovery COMMAND ${CMAKE_SOURCE_DIR}/tests/harness/fixture-recovery-test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(harness.fixture_recovery PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)

# The bridge as a front end installs it: packed by scripts/package.sh, installed with npm into a fresh
# folder, type-checked, and used by name with Windows node under Wine (tests/package/consumer.sh).
add_test(NAME package.consumer
         COMMAND ${CMAKE_SOURCE_DIR}/tests/package/consumer.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
set_tests_properties(package.consumer PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600)

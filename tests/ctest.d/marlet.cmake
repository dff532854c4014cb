# Marlet.exe carries its elevation manifest and version resource (checked with binutils, no Wine).
add_test(NAME marlet.resources
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/marlet/check-resources.sh ${CMAKE_BINARY_DIR}/Marlet.exe)
set_tests_properties(marlet.resources PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 60)

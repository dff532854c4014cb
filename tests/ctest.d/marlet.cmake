# Marlet.exe carries its elevation manifest and version resource (checked with binutils, no Wine).
add_test(NAME marlet.resources
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/marlet/check-resources.sh ${CMAKE_BINARY_DIR}/Marlet.exe)
set_tests_properties(marlet.resources PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 60)

# A Marlet whose bound on one window message is 2 s instead of 30 s, so that the test of a window
# that never answers does not wait half a minute. Its own copy of the installer's loop comes
# first on the link line, so the library's copy is not taken; the shipped Marlet.exe has no
# switch for the bound.
add_executable(MarletShortBound ${CMAKE_SOURCE_DIR}/helper/marlet/Main.cpp ${CMAKE_SOURCE_DIR}/helper/marlet/Installer.cpp)
target_compile_definitions(MarletShortBound PRIVATE VORLA_TEST_MESSAGE_BOUND_MS=2000)
target_link_libraries(MarletShortBound PRIVATE marlet_lib)
target_link_options(MarletShortBound PRIVATE -municode)
vorla_test_program(MarletShortBound)

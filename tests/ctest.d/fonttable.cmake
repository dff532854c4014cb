# The font-table tests: a test program whose installation core reaches a stand-in for the session's
# font table (tests/fonttable/FontTableStandIn.cpp) instead of GDI's. The stand-in keeps the rules
# that Wine 8 does not (loads count; a loaded file is held open with read sharing only). Its two
# functions come first on the link line, so the core library's copy of them (FontUtilResource.cpp)
# is not taken; the shipped binaries and every other test program have the platform's table only.
set(VORLA_FONTTABLE_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fonttable/FontsInUseTest.cpp)
add_executable(vorla_fonttable_tests ${CMAKE_CURRENT_SOURCE_DIR}/fonttable/FontTableStandIn.cpp
                                     ${VORLA_FONTTABLE_SOURCES})
target_include_directories(vorla_fonttable_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vorla_fonttable_tests PRIVATE vorla_core gtest gtest_main)
set_target_properties(vorla_fonttable_tests PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${VORLA_TEST_BIN}
  CROSSCOMPILING_EMULATOR "${VORLA_WINE_RUN}")
add_dependencies(vorla_fonttable_tests FileHolder)
gtest_add_tests(TARGET vorla_fonttable_tests SOURCES ${VORLA_FONTTABLE_SOURCES} TEST_LIST VORLA_FONTTABLE_TESTS)
set_tests_properties(${VORLA_FONTTABLE_TESTS} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)

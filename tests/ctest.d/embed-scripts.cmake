# The build-time check of the embedded design-application scripts (runs on the build host).
add_test(NAME scripts.embed_rejects_unsafe_code
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                 -DWORK_DIR=${CMAKE_BINARY_DIR}/tests/embed-scripts -P ${CMAKE_SOURCE_DIR}/tests/scripts/EmbedScriptsRejects.cmake)
set_tests_properties(scripts.embed_rejects_unsafe_code PROPERTIES FIXTURES_REQUIRED wine)

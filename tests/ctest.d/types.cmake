# The bridge's TypeScript declarations against their usage files (frontend/tsconfig.json),
# compiled by the pinned TypeScript with the Linux node.
find_program(VORLA_LINUX_NODE node REQUIRED)
add_test(NAME js.types
         COMMAND ${VORLA_LINUX_NODE} ${CMAKE_SOURCE_DIR}/frontend/node_modules/typescript/bin/tsc
                 --noEmit -p ${CMAKE_SOURCE_DIR}/frontend)
set_tests_properties(js.types PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)

# A Marlet for the kill tests only: the same program with the installation core's step hook
# compiled in (VORLA_FAULT_SEAM), so that it ends itself after a chosen step of a chosen font.
# The shipped Marlet.exe has no such hook. Its own copy of the install steps comes first on the
# link line, so the core library's copy is not taken.
add_executable(MarletFaults ${CMAKE_SOURCE_DIR}/helper/marlet/Main.cpp
                            ${CMAKE_SOURCE_DIR}/src/interactive/win/FontUtilInstall.cpp)
target_compile_definitions(MarletFaults PRIVATE VORLA_FAULT_SEAM)
target_link_libraries(MarletFaults PRIVATE marlet_lib)
target_link_options(MarletFaults PRIVATE -municode)
vorla_test_program(MarletFaults)

# Real fonts for the convergence tests: LXGW WenKai from Debian's package, unpacked into the
# build tree (never installed). Without the package (offline) the tests build look-alikes.
add_test(NAME fonts.lxgw_wenkai
         COMMAND sh -c "test -d fonts/lxgw/usr/share/fonts || (mkdir -p fonts/lxgw && cd fonts/lxgw && apt-get download fonts-lxgw-wenkai && dpkg-deb -x fonts-lxgw-wenkai_*.deb . && rm -f fonts-lxgw-wenkai_*.deb) || true"
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
set_tests_properties(fonts.lxgw_wenkai PROPERTIES FIXTURES_SETUP lxgw TIMEOUT 600)

foreach(test ${VORLA_GTESTS})
  if(test MATCHES "^Converge")
    set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED "wine;lxgw" TIMEOUT 600)
  endif()
endforeach()

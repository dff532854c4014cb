# The font health tests install real fonts of Debian packages in both scopes, LXGW WenKai among them
# when its fixture could fetch the package.
foreach(test ${VORLA_GTESTS})
  if(test MATCHES "^FontHealth\\.")
    set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED "wine;lxgw")
  endif()
endforeach()

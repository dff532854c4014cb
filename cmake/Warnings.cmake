# The warning set of the project's own code, in one place. Every target built from our sources gets it with
# -Werror (VORLA_WARNINGS_AS_ERRORS, on by default); third-party code does not: easylogging++ is compiled without
# it, and its header, RapidJSON and GoogleTest reach our sources as system headers.
# Used by the Windows build (gcc, mingw-w64) and by the native fuzz build (clang).
option(VORLA_WARNINGS_AS_ERRORS "Treat warnings in the project's own code as errors" ON)

set(VORLA_WARNING_FLAGS
    -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wformat=2 -Woverloaded-virtual
    -Wcast-qual -Wpointer-arith -Wundef -Wunused -Wimplicit-fallthrough
    $<$<CXX_COMPILER_ID:GNU>:-Wduplicated-cond -Wduplicated-branches -Wlogical-op>)

# Gives one target the set (C++ sources only: the resource compiler takes no warning flags).
function(vorla_warnings target)
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
    return() # custom and interface targets compile nothing
  endif()
  set(flags ${VORLA_WARNING_FLAGS})
  if(VORLA_WARNINGS_AS_ERRORS)
    list(APPEND flags -Werror)
  endif()
  target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:${flags}>")
endfunction()

# Gives the set to every target defined in `dir` and the folders below it that belong to this source tree
# (folders added from elsewhere, like GoogleTest's sources, are passed over), except the ones named after EXCEPT.
function(vorla_warnings_in_tree dir)
  cmake_parse_arguments(arg "" "" "EXCEPT" ${ARGN})
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    if(NOT target IN_LIST arg_EXCEPT)
      vorla_warnings(${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    cmake_path(IS_PREFIX CMAKE_SOURCE_DIR ${subdir} NORMALIZE inside)
    if(inside)
      vorla_warnings_in_tree(${subdir} EXCEPT ${arg_EXCEPT})
    endif()
  endforeach()
endfunction()

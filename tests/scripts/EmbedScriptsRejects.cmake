# The script embedding must refuse script code that an outer quoting layer could
# misread. Copies the real scripts, spoils one at a time, and expects the
# generator to fail; the unspoilt copy must pass.
# Usage: cmake -DSOURCE_DIR=<repo> -DWORK_DIR=<scratch> -P EmbedScriptsRejects.cmake
set(scripts ${SOURCE_DIR}/src/strategy/win/scripts)
set(generator ${SOURCE_DIR}/cmake/EmbedScripts.cmake)

function(run_generator dir out_result)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSCRIPT_DIR=${dir} -DOUTPUT=${dir}/out.h -P ${generator}
                  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  set(${out_result} ${result} PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(COPY ${scripts}/ DESTINATION ${WORK_DIR}/good)
run_generator(${WORK_DIR}/good result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the real scripts were refused")
endif()

foreach(bad "var s = \"quoted\";" "var s = 'a\\\\nb';" "var s = 'é';" "var s = '\ttab';" "var s = 1; // trailing comment")
  file(REMOVE_RECURSE ${WORK_DIR}/bad)
  file(COPY ${scripts}/ DESTINATION ${WORK_DIR}/bad)
  file(APPEND ${WORK_DIR}/bad/aftereffects.jsx "${bad}\n")
  run_generator(${WORK_DIR}/bad result)
  if(result EQUAL 0)
    message(FATAL_ERROR "accepted script code: ${bad}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})

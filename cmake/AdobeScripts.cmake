# Embeds the design-application scripts (readable sources in
# src/strategy/win/scripts) into vorla_lib as the generated AdobeScriptTexts.h.
set(VORLA_SCRIPT_DIR ${CMAKE_SOURCE_DIR}/src/strategy/win/scripts)
set(VORLA_SCRIPT_HEADER ${CMAKE_BINARY_DIR}/generated/AdobeScriptTexts.h)
file(GLOB VORLA_SCRIPT_SOURCES CONFIGURE_DEPENDS ${VORLA_SCRIPT_DIR}/*.jsx ${VORLA_SCRIPT_DIR}/*.vbs)
add_custom_command(
  OUTPUT ${VORLA_SCRIPT_HEADER}
  COMMAND ${CMAKE_COMMAND} -DSCRIPT_DIR=${VORLA_SCRIPT_DIR} -DOUTPUT=${VORLA_SCRIPT_HEADER}
          -P ${CMAKE_SOURCE_DIR}/cmake/EmbedScripts.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${VORLA_SCRIPT_HEADER}
  DEPENDS ${VORLA_SCRIPT_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/EmbedScripts.cmake
  COMMENT "Embedding the design-application scripts"
  VERBATIM)
target_sources(vorla_lib PRIVATE ${VORLA_SCRIPT_HEADER})

# Turns the readable application scripts in SCRIPT_DIR into C++ string constants
# in OUTPUT (run with cmake -P).
#
# The JavaScript files become one line each: comment lines are dropped and the
# remaining lines are joined with single spaces. One line is what a VBScript
# string literal and a command-line argument can carry. The build stops when a
# script holds a character that one of those outer layers could misread: a
# double quote, a backslash, or anything outside printable ASCII; and when a line
# holds a trailing "//" comment, which on the one joined line would comment out
# all the code after it.
# The VBScript prelude keeps its lines (CR LF).

function(vorla_js_constant name file out)
  file(READ "${file}" text)
  string(REGEX REPLACE "\r" "" text "\n${text}")
  string(REGEX REPLACE "\n[ \t]*//[^\n]*" "" text "${text}")
  if(text MATCHES "//")
    message(FATAL_ERROR "${file}: a \"//\" after code would comment out the rest of the one-line script; put comments on lines of their own")
  endif()
  string(REGEX REPLACE "[ \t]*\n[ \t\n]*" " " text "${text}")
  string(STRIP "${text}" text)
  if(text MATCHES "[\"\\\\]" OR text MATCHES "[^ -~]")
    message(FATAL_ERROR "${file}: double quotes, backslashes and non-ASCII characters are not allowed in the script code")
  endif()
  set(${out} "${${out}}inline constexpr char ${name}[] = \"${text}\";\n" PARENT_SCOPE)
endfunction()

function(vorla_vbs_constant name file out)
  file(READ "${file}" text)
  string(REGEX REPLACE "\r" "" text "${text}")
  string(STRIP "${text}" text)
  if(text MATCHES "[\\\\]" OR text MATCHES "[^ -~\n\"]")
    message(FATAL_ERROR "${file}: backslashes and non-ASCII characters are not allowed")
  endif()
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "\n" "\\r\\n" text "${text}")
  set(${out} "${${out}}inline constexpr char ${name}[] = \"${text}\\r\\n\";\n" PARENT_SCOPE)
endfunction()

set(body "")
vorla_js_constant(kPhotoshopScript "${SCRIPT_DIR}/photoshop.jsx" body)
vorla_js_constant(kIllustratorScript "${SCRIPT_DIR}/illustrator.jsx" body)
vorla_js_constant(kInDesignScript "${SCRIPT_DIR}/indesign.jsx" body)
vorla_js_constant(kAfterEffectsScript "${SCRIPT_DIR}/aftereffects.jsx" body)
vorla_vbs_constant(kInDesignPrelude "${SCRIPT_DIR}/indesign-prelude.vbs" body)

set(content "// Generated from ${SCRIPT_DIR} by EmbedScripts.cmake. Do not edit.\n#pragma once\n\nnamespace AdobeScriptTexts {\n${body}}  // namespace AdobeScriptTexts\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT "${old}" STREQUAL "${content}")
  file(WRITE "${OUTPUT}" "${content}")
endif()

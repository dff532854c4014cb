# Third-party code comes from Debian's packages. The cross build must not see /usr/include as a whole
# (it holds glibc headers), so the needed files are copied into the build tree at configure time.
set(VORLA_DEPS_DIR ${CMAKE_BINARY_DIR}/deps)

foreach(f /usr/include/easylogging++.h /usr/include/easylogging++.cc /usr/include/rapidjson/document.h)
  if(NOT EXISTS ${f})
    message(FATAL_ERROR "${f} is missing: run scripts/setup.sh (packages libeasyloggingpp-dev, rapidjson-dev).")
  endif()
endforeach()

file(COPY /usr/include/easylogging++.h /usr/include/easylogging++.cc DESTINATION ${VORLA_DEPS_DIR}/easyloggingpp)
file(COPY /usr/include/rapidjson DESTINATION ${VORLA_DEPS_DIR}/rapidjson/include)

# easylogging++: thread-safe (exports are called from several threads), default file the null device.
add_library(easyloggingpp STATIC ${VORLA_DEPS_DIR}/easyloggingpp/easylogging++.cc)
target_include_directories(easyloggingpp SYSTEM PUBLIC ${VORLA_DEPS_DIR}/easyloggingpp)
target_compile_definitions(easyloggingpp PUBLIC
  ELPP_THREAD_SAFE
  "ELPP_DEFAULT_LOG_FILE=\"nul\""
  ELPP_NO_CHECK_MACROS
  ELPP_DISABLE_DEFAULT_CRASH_HANDLING
  PRIVATE AUTO_INITIALIZE_EASYLOGGINGPP)
target_compile_options(easyloggingpp PRIVATE -w)

add_library(rapidjson INTERFACE)
target_include_directories(rapidjson SYSTEM INTERFACE ${VORLA_DEPS_DIR}/rapidjson/include)

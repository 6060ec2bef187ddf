# SPDX-License-Identifier: MIT
#
# brandle_add_test(NAME SOURCES ... [LIBS ...] [ENV ...] [GUI] [XVFB])
#   Builds a Qt Test executable with the shared test main and registers it with CTest.
#   GUI: the main makes a QApplication and the test runs on the offscreen platform.
#   XVFB: the test runs under xvfb-run (for Qt WebEngine).
function(brandle_add_test name)
  cmake_parse_arguments(T "GUI;XVFB" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if((T_GUI OR T_XVFB) AND NOT BRANDLE_BUILD_GUI)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_GUI OR T_XVFB)
    target_link_libraries(${name} PRIVATE brandle_testmain_gui)
  else()
    target_link_libraries(${name} PRIVATE brandle_testmain)
  endif()
  target_link_libraries(${name} PRIVATE brandle_cfg brandle_testsupport Qt6::Test ${T_LIBS})
  target_compile_definitions(${name} PRIVATE TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    SERVICE_DIR="${PROJECT_SOURCE_DIR}/service")

  if(T_XVFB)
    add_test(NAME ${name} COMMAND xvfb-run -a -s "-screen 0 1024x768x24" $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  # A crash ends the test at once instead of waiting on a debugger for its stack.
  set(env "LANG=C" "LC_ALL=C" "QTEST_DISABLE_STACK_DUMP=1")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(T_XVFB)
    list(APPEND env "QT_QPA_PLATFORM=xcb" "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu")
  endif()
  list(APPEND env ${T_ENV})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
endfunction()

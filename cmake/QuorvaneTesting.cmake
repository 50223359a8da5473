# quorvane_add_qtest(NAME <name> SOURCES <files...> LIBS <targets...> [GUI])
# Builds one Qt Test executable and registers it with CTest. GUI tests run on
# the offscreen platform so that they never need a display.
function(quorvane_add_qtest)
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test)
  set_target_properties(${T_NAME} PROPERTIES AUTOMOC ON)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env "QT_QPA_PLATFORM=offscreen")
  # Tests must never touch the user's own settings or the real trash.
  list(APPEND env "XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}-config"
                  "XDG_DATA_HOME=${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}-data"
                  "XDG_CACHE_HOME=${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}-cache")
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()

# Windows programs run under Wine: every test goes through cmake/wine-run in a
# private prefix and virtual display that the session fixture starts first and
# stops last.
set(ZEVART_WINE_SESSION ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/cmake/wine-run ${ZEVART_WINE_SESSION})

# Daemons started by the fixtures must not hold ctest's output pipe open.
add_test(NAME wine_session_start
         COMMAND sh -c "'${PROJECT_SOURCE_DIR}/cmake/wine-session' start '${ZEVART_WINE_SESSION}' >'${ZEVART_WINE_SESSION}.log' 2>&1 </dev/null")
add_test(NAME wine_session_stop
         COMMAND sh -c "'${PROJECT_SOURCE_DIR}/cmake/wine-session' stop '${ZEVART_WINE_SESSION}' >/dev/null 2>&1 </dev/null")
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 120)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)

# Registers a Windows test program that needs the Wine session.
function(zevart_wine_test name)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
endfunction()

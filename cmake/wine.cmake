# Windows programs run under Wine: every test goes through cmake/wine-run in a
# private prefix and virtual display that the session fixture starts first and
# stops last, with the loader of this build's architecture. Every test that
# needs Wine carries the label "wine", so a machine that cannot run this
# architecture still runs the rest (ctest -LE wine).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ZEVART_WINE_ARCH win64)
else()
  set(ZEVART_WINE_ARCH win32)
endif()
set(ZEVART_WINE_SESSION ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${PROJECT_SOURCE_DIR}/cmake/wine-run ${ZEVART_WINE_SESSION} ${ZEVART_WINE_ARCH})

# Daemons started by the fixtures must not hold ctest's output pipe open.
add_test(NAME wine_session_start
         COMMAND sh -c "'${PROJECT_SOURCE_DIR}/cmake/wine-session' start '${ZEVART_WINE_SESSION}' ${ZEVART_WINE_ARCH} >'${ZEVART_WINE_SESSION}.log' 2>&1 </dev/null || { cat '${ZEVART_WINE_SESSION}.log'; exit 1; }")
add_test(NAME wine_session_stop
         COMMAND sh -c "'${PROJECT_SOURCE_DIR}/cmake/wine-session' stop '${ZEVART_WINE_SESSION}' >/dev/null 2>&1 </dev/null")
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 120 LABELS wine)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine LABELS wine)

# Registers a Windows test program that needs the Wine session.
function(zevart_wine_test name)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300 LABELS wine)
endfunction()

# The smallest Windows program: whether it runs tells whether this
# architecture's programs run on this machine at all (cmake/wine-probe).
add_executable(wine_probe ${PROJECT_SOURCE_DIR}/cmake/wine_probe.c)

if(ZEVART_WINE_ARCH STREQUAL "win64")
  # The fallback that scripts/run and scripts/soak take where 32-bit programs
  # cannot run, taken here on any machine: with 32-bit switched off, the
  # choice is this build, and it says why.
  add_test(NAME windows_arch_fallback
           COMMAND env ZEVART_NO_32BIT=1 ${PROJECT_SOURCE_DIR}/scripts/windows-arch wine)
  set_tests_properties(windows_arch_fallback PROPERTIES FIXTURES_REQUIRED wine LABELS wine
    TIMEOUT 300 PASS_REGULAR_EXPRESSION "64-bit Windows build[^\n]*switched off by ZEVART_NO_32BIT=1\nwin64")
endif()

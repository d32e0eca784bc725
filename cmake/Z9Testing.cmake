# z9_add_native_test(name sources... [LIBS libs...])
#   A GoogleTest executable of the native build.
# z9_add_wine_test(name sources... [LIBS libs...] [TIMEOUT s])
#   A GoogleTest executable of the cross build; ctest runs it through Wine
#   (CMAKE_CROSSCOMPILING_EMULATOR) in the prefix named by WINEPREFIX.
#   With Z9_WINE_TESTS off (a build whose programs this host cannot run, such
#   as the i686 build where Wine runs 64-bit code only) the program is still
#   defined, but neither built by default nor registered as a test.
option(Z9_WINE_TESTS "Register the Windows-side test programs as tests" ON)

function(_z9_add_gtest kind name)
  cmake_parse_arguments(A "" "TIMEOUT" "LIBS" ${ARGN})
  add_executable(${name} ${A_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gmock GTest::gtest_main)
  if(kind STREQUAL "wine" AND NOT Z9_WINE_TESTS)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS ${kind} TIMEOUT ${A_TIMEOUT})
endfunction()

function(z9_add_native_test name)
  _z9_add_gtest(native ${name} ${ARGN})
endfunction()

function(z9_add_wine_test name)
  _z9_add_gtest(wine ${name} ${ARGN})
endfunction()

# Tests of the COM server, the shared page behaviour, the page mask, the tab
# titles and the system property frame (cross build, run under Wine).
# Included by the property pages' CMakeLists.txt.
set(_z9a_tests ${CMAKE_CURRENT_LIST_DIR})

# The server as a client sees it: Z9100Dex.dll loaded from next to the test.
z9_add_wine_test(proppages_server_tests
  ${_z9a_tests}/test_server.cpp
  LIBS z9wintest ole32 oleaut32 uuid
  TIMEOUT 180)
target_include_directories(proppages_server_tests PRIVATE ${_z9a_tests} ${CMAKE_CURRENT_SOURCE_DIR})
add_dependencies(proppages_server_tests Z9100Dex)

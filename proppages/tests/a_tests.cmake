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

# The shared page behaviour on a page class of the test's own, the page
# string table and the restart request (linked from the page library).
z9_add_wine_test(proppages_page_base_tests
  ${_z9a_tests}/test_page_base.cpp
  ${_z9a_tests}/test_page_strings.cpp
  ${_z9a_tests}/test_page.rc
  LIBS z9pagebase z9common z9wintest ole32 oleaut32 uuid comctl32
  TIMEOUT 120)
target_include_directories(proppages_page_base_tests PRIVATE ${_z9a_tests} ${CMAKE_CURRENT_SOURCE_DIR})

# Property sheets and the system frame with the library's pages: the page
# mask, the tab titles per language, the frame on the bench camera's proxy
# filter object (its screenshot goes to docs/pictures).
set(_z9a_pictures "Z:${CMAKE_SOURCE_DIR}/docs/pictures")
string(REPLACE "/" "\\\\" _z9a_pictures "${_z9a_pictures}")
z9_add_wine_test(proppages_frame_tests
  ${_z9a_tests}/test_page_mask.cpp
  ${_z9a_tests}/test_tab_titles.cpp
  ${_z9a_tests}/test_system_frame.cpp
  LIBS z9pagebase z9common z9wintest z9bench_client ole32 oleaut32 uuid strmiids comctl32
  TIMEOUT 300)
target_include_directories(proppages_frame_tests PRIVATE ${_z9a_tests} ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(proppages_frame_tests PRIVATE "Z9_PICTURES_DIR=\"${_z9a_pictures}\"")
add_dependencies(proppages_frame_tests Z9100Dex)

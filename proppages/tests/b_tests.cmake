# Tests of the camera property access and of the Video Proc Amp page (cross
# build, run under Wine against the bench camera). Included by the property
# pages' CMakeLists.txt after the library target is defined.
if(NOT Z9_CROSS)
  return()
endif()

set(_z9b_tests ${CMAKE_CURRENT_LIST_DIR})

z9_add_wine_test(proppages_access_tests
  ${_z9b_tests}/test_access.cpp
  LIBS z9propaccess z9common z9wintest z9bench_client ole32 oleaut32 uuid comctl32
  TIMEOUT 120)
target_include_directories(proppages_access_tests PRIVATE ${_z9b_tests})

# The page is created through the built Z9100Dex.dll next to the test.
z9_add_wine_test(proppages_default_page1_tests
  ${_z9b_tests}/test_default_page1.cpp
  LIBS z9propaccess z9common z9wintest z9bench_client ole32 oleaut32 uuid comctl32
  TIMEOUT 300)
target_include_directories(proppages_default_page1_tests PRIVATE ${_z9b_tests} ${_z9b_tests}/..)
if(TARGET Z9100Dex)
  add_dependencies(proppages_default_page1_tests Z9100Dex)
endif()

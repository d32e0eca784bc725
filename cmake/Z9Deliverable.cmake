# z9_deliverable(target [EXPORTS name...])
#   Marks a target as something that ships: it links the runtime's ANSI
#   import slots (common/legacy_runtime.cpp), and the i686 build checks its
#   import table, header versions and exports (tests/imports). A DLL also gets
#   the entry point that closes the runtime's leftover locks when it is freed
#   (common/runtime_unload.cpp), so that a host may load and free it any
#   number of times.
function(z9_deliverable target)
  cmake_parse_arguments(A "" "" "EXPORTS" ${ARGN})
  target_link_libraries(${target} PRIVATE z9legacy_runtime)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
    target_link_libraries(${target} PRIVATE z9runtime_unload)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      target_link_options(${target} PRIVATE -Wl,--entry,_z9DllEntry@12)
    else()
      target_link_options(${target} PRIVATE -Wl,--entry,z9DllEntry)
    endif()
  endif()
  string(JOIN "," exports ${A_EXPORTS})
  set_property(GLOBAL APPEND PROPERTY Z9_DELIVERABLE_CHECKS "$<TARGET_FILE:${target}>=${exports}")
endfunction()

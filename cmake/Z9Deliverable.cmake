# z9_deliverable(target [EXPORTS name...])
#   Marks a target as something that ships: it links the runtime's ANSI
#   import slots (common/legacy_runtime.cpp), and the i686 build checks its
#   import table, header versions and exports (tests/imports).
function(z9_deliverable target)
  cmake_parse_arguments(A "" "" "EXPORTS" ${ARGN})
  target_link_libraries(${target} PRIVATE z9legacy_runtime)
  string(JOIN "," exports ${A_EXPORTS})
  set_property(GLOBAL APPEND PROPERTY Z9_DELIVERABLE_CHECKS "$<TARGET_FILE:${target}>=${exports}")
endfunction()

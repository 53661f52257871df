# zo_unloadable_library(<name> <sources>...): a second static build of a
# folder's own sources for libzodlg.so. The player loads that library, calls
# it once and unloads it again, so nothing in it may keep it loaded after
# dlclose: no GNU unique symbols (-fno-gnu-unique) and, as the code in it
# takes care of, no thread-local objects with destructors. Its symbols stay
# hidden like the library's own, so only its exports leave it.
function(zo_unloadable_library name)
  add_library(${name} STATIC ${ARGN})
  set_target_properties(${name} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    AUTOMOC OFF AUTOUIC OFF
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
endfunction()

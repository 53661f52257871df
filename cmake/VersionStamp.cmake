# The version stamp of our deliverables: each one carries an ELF note of its
# own (owner "Zoravel", type 1) in an allocated section, so that `strip`
# keeps it and `readelf -n` shows it. platform/version reads it back.
#
# Major, minor and release come from project(... VERSION ...); the build
# number is the checkout's number of commits, counted at every build. Only
# the small header that holds it changes when it does, and only the stamp
# sources include that header, so a new commit rebuilds the stamps alone.

set(ZO_STAMP_DIR ${CMAKE_BINARY_DIR}/version-stamp)
set(ZO_BUILD_NUMBER_HEADER ${ZO_STAMP_DIR}/build_number.h)

if(NOT TARGET zo_build_number)
  add_custom_target(zo_build_number
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT=${ZO_BUILD_NUMBER_HEADER}
            -P ${CMAKE_CURRENT_LIST_DIR}/BuildNumber.cmake
    BYPRODUCTS ${ZO_BUILD_NUMBER_HEADER}
    COMMENT "Counting the checkout's commits for the version stamp"
    VERBATIM)
endif()

# zo_version_stamp(<target>): puts the version note into <target>.
function(zo_version_stamp target)
  set(source ${ZO_STAMP_DIR}/${target}_version.c)
  file(GENERATE OUTPUT ${source} CONTENT
"/* Generated: the version note of ${target}. */
#include \"build_number.h\"
#define ZO_VERSION_MAJOR ${PROJECT_VERSION_MAJOR}
#define ZO_VERSION_MINOR ${PROJECT_VERSION_MINOR}
#define ZO_VERSION_RELEASE ${PROJECT_VERSION_PATCH}
#define ZO_VERSION_PREFIX \"${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.\"
#define ZO_ORIGINAL_FILENAME \"$<TARGET_FILE_NAME:${target}>\"
#include \"${CMAKE_CURRENT_FUNCTION_LIST_DIR}/version_note.c.in\"
")
  target_sources(${target} PRIVATE ${source})
  set_source_files_properties(${source} PROPERTIES LANGUAGE C INCLUDE_DIRECTORIES ${ZO_STAMP_DIR}
                              OBJECT_DEPENDS ${ZO_BUILD_NUMBER_HEADER})
  add_dependencies(${target} zo_build_number)
endfunction()

# Floors: one static library per subsystem folder of src/, each linking only the floors below it.
# A file may include headers of its own folder and of the floors its library reaches through its
# links; any other "folder/..." include of src/ fails the build (CheckFloorIncludes.cmake runs
# before the library compiles, and again whenever one of its files changes).

set(SALVORA_FLOOR_CHECK ${CMAKE_CURRENT_LIST_DIR}/CheckFloorIncludes.cmake)

# The folders a floor may include: its own and, recursively, those of the floors it links.
function(salvora_floor_reach out)
  set(reach "")
  foreach(floor ${ARGN})
    get_property(below GLOBAL PROPERTY SALVORA_FLOOR_REACH_${floor})
    list(APPEND reach ${floor} ${below})
  endforeach()
  list(REMOVE_DUPLICATES reach)
  set(${out} ${reach} PARENT_SCOPE)
endfunction()

# Refuses includes of target's files (those of src/<folder>) outside the given folders.
function(salvora_check_floor target folder)
  file(GLOB files CONFIGURE_DEPENDS ${SALVORA_SRC_DIR}/${folder}/*.cpp ${SALVORA_SRC_DIR}/${folder}/*.h)
  string(REPLACE ";" "," allowed "${ARGN}")
  set(stamp ${CMAKE_BINARY_DIR}/floors/${folder}.checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DSRC=${SALVORA_SRC_DIR} -DFOLDER=${folder} -DALLOWED=${allowed}
            -P ${SALVORA_FLOOR_CHECK}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${files} ${SALVORA_FLOOR_CHECK}
    COMMENT "Checking that src/${folder} includes no floor above it"
    VERBATIM)
  add_custom_target(${target}_floor_check DEPENDS ${stamp})
  add_dependencies(${target} ${target}_floor_check)
endfunction()

# A file named ...Linux.cpp or ...Windows.cpp is built for that system only: the platform floor
# keeps one implementation per system beside the header they share.
if(WIN32)
  set(SALVORA_OTHER_SYSTEMS Linux)
else()
  set(SALVORA_OTHER_SYSTEMS Windows)
endif()
function(salvora_for_this_system list)
  set(kept ${${list}})
  foreach(other ${SALVORA_OTHER_SYSTEMS})
    list(FILTER kept EXCLUDE REGEX "${other}\\.cpp$")
  endforeach()
  set(${list} ${kept} PARENT_SCOPE)
endfunction()

# salvora_floor(<folder> [floors below it that it uses directly...]): the library salvora_<folder>
# from src/<folder>/*.cpp.
function(salvora_floor folder)
  file(GLOB sources CONFIGURE_DEPENDS ${SALVORA_SRC_DIR}/${folder}/*.cpp)
  salvora_for_this_system(sources)
  add_library(salvora_${folder} STATIC ${sources})
  target_include_directories(salvora_${folder} PUBLIC ${SALVORA_SRC_DIR})
  foreach(below ${ARGN})
    target_link_libraries(salvora_${folder} PUBLIC salvora_${below})
  endforeach()
  salvora_floor_reach(reach ${ARGN})
  set_property(GLOBAL PROPERTY SALVORA_FLOOR_REACH_${folder} ${reach})
  salvora_check_floor(salvora_${folder} ${folder} ${folder} ${reach})
  set_property(GLOBAL APPEND PROPERTY SALVORA_FLOORS ${folder})
endfunction()

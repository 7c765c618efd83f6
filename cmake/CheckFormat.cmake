# Fails when any C++ source of ours is not formatted as .clang-format says.
file(GLOB_RECURSE sources
     ${ROOT}/platform/*.h ${ROOT}/platform/*.cpp ${ROOT}/settings/*.h ${ROOT}/settings/*.cpp
     ${ROOT}/net/*.h ${ROOT}/net/*.cpp ${ROOT}/http/*.h ${ROOT}/http/*.cpp
     ${ROOT}/windows/*.h ${ROOT}/windows/*.cpp ${ROOT}/app/*.h ${ROOT}/app/*.cpp
     ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp ${ROOT}/bench/*.h ${ROOT}/bench/*.cpp)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror ${sources} RESULT_VARIABLE rc
                ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "clang-format would change these files:\n${out}")
endif()

# Shared build rules for every target of our own.

# Warnings are errors on our code.
function(velomaris_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Chinese literals in these sources are UTF-8 in the file and GBK bytes in the program.
function(velomaris_gbk_literals target)
  target_compile_options(${target} PRIVATE -fexec-charset=GBK)
endfunction()

# velomaris_library(NAME folder SOURCES ... DEPENDS ... [GBK])
function(velomaris_library)
  cmake_parse_arguments(ARG "GBK" "NAME" "SOURCES;DEPENDS" ${ARGN})
  add_library(velomaris_${ARG_NAME} STATIC ${ARG_SOURCES})
  target_include_directories(velomaris_${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(velomaris_${ARG_NAME} PUBLIC ${ARG_DEPENDS})
  velomaris_warnings(velomaris_${ARG_NAME})
  if(ARG_GBK)
    velomaris_gbk_literals(velomaris_${ARG_NAME})
  endif()
endfunction()

# The error-page templates the program loads from its own directory: copied beside the target's
# executable whenever it is built.
function(velomaris_copy_templates target)
  foreach(template checkweb.html checkweb2.html)
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND ${CMAKE_COMMAND} -E copy_if_different
                               ${PROJECT_SOURCE_DIR}/resources/${template}
                               $<TARGET_FILE_DIR:${target}>/${template})
  endforeach()
endfunction()

# The application icon the desktop program loads from its own directory.
function(velomaris_copy_icon target)
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/resources/velomaris.png
                             $<TARGET_FILE_DIR:${target}>/velomaris.png)
endfunction()

# The fuzz build: every library is instrumented for libFuzzer's coverage feedback and checked
# by AddressSanitizer and UndefinedBehaviorSanitizer, which stop at the first finding.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz targets need clang: configure with -DCMAKE_CXX_COMPILER=clang++")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
# "Code({230})" picks the single-code overload on purpose; clang alone warns about the braces.
add_compile_options(-Wno-braced-scalar-init)

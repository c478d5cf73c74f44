# Fails when a source file differs from what clang-format makes of it.
file(GLOB_RECURSE sources ${SOURCE_DIR}/nembra/*.h ${SOURCE_DIR}/nembra/*.cpp ${SOURCE_DIR}/app/*.h
     ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/tests/*.h ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/bench/*.cpp
     ${SOURCE_DIR}/fuzz/*.cpp ${SOURCE_DIR}/examples/*.cpp)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "clang-format: the files above need formatting (run clang-format -i on them)")
endif()

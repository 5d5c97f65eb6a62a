# The set exerciser is also compiled into the unit tests, its main renamed, so
# that its element copies go through the test allocator and can be refused.
target_sources(morven_tests PRIVATE ${PROJECT_SOURCE_DIR}/examples/set.c)
set_source_files_properties(${PROJECT_SOURCE_DIR}/examples/set.c PROPERTIES COMPILE_DEFINITIONS main=morvenSetMain)

find_program(MORVEN_VALGRIND valgrind)
if(MORVEN_VALGRIND)
  set(memcheck -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect,possible)
  # The set exerciser on the fuzzer's seed inputs: NUL bytes, carriage
  # returns, over-long lines, input ending without "q".
  file(GLOB MORVEN_SET_SEEDS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/corpus/set/*)
  foreach(seed ${MORVEN_SET_SEEDS})
    get_filename_component(name ${seed} NAME)
    add_test(NAME valgrind.set_${name}
      COMMAND sh -c "exec \"$0\" \"$@\" < \"${seed}\" > /dev/null" ${MORVEN_VALGRIND} ${memcheck} $<TARGET_FILE:set>)
    set_tests_properties(valgrind.set_${name} PROPERTIES LABELS valgrind)
  endforeach()
  # The timer demo runs for ten seconds.
  add_test(NAME valgrind.timer COMMAND ${MORVEN_VALGRIND} ${memcheck} $<TARGET_FILE:timer>)
  set_tests_properties(valgrind.timer PROPERTIES LABELS "slow;valgrind" TIMEOUT 120)
endif()

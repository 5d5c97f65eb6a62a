# The set exerciser is also compiled into the unit tests, its main renamed, so
# that its element copies go through the test allocator and can be refused.
target_sources(morven_tests PRIVATE ${PROJECT_SOURCE_DIR}/examples/set.c)
set_source_files_properties(${PROJECT_SOURCE_DIR}/examples/set.c PROPERTIES COMPILE_DEFINITIONS main=morvenSetMain)

tavrin_library(tavrin_engine_rebuild
  SOURCES
    rebuild.cpp
    rebuild_workers.cpp
  DEPS tavrin_engine_server tavrin_engine_storage tavrin_engine_base)

# Key routines the user-routine index tests load.
add_library(engine_rebuild_test_keyproc MODULE tests/rebuild/rebuild_keyproc_lib.cpp)

tavrin_test(engine_rebuild_tests LABEL engine
  SOURCES
    tests/rebuild/rebuild_status_test.cpp
    tests/rebuild/rebuild_swap_test.cpp
    tests/rebuild/rebuild_ops_test.cpp
    tests/rebuild/rebuild_kill_test.cpp
  DEPS tavrin_engine_rebuild)
target_compile_definitions(engine_rebuild_tests PRIVATE
  REBUILD_KEYPROC_LIB="$<TARGET_FILE:engine_rebuild_test_keyproc>")
add_dependencies(engine_rebuild_tests engine_rebuild_test_keyproc)

tavrin_fuzz(engine_swap_record_fuzz LABEL engine
  SOURCES tests/rebuild/swap_record_fuzz.cpp
  DEPS tavrin_engine_rebuild
  SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/rebuild/seeds)

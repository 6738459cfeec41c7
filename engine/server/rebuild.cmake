tavrin_library(tavrin_engine_rebuild
  SOURCES
    rebuild.cpp
    rebuild_swap.cpp
    rebuild_workers.cpp
  DEPS tavrin_engine_server tavrin_engine_storage tavrin_engine_base)

tavrin_test(engine_rebuild_tests LABEL engine
  SOURCES
    tests_rebuild/rebuild_status_test.cpp
    tests_rebuild/rebuild_swap_test.cpp
    tests_rebuild/rebuild_ops_test.cpp
    tests_rebuild/rebuild_kill_test.cpp
  DEPS tavrin_engine_rebuild)

tavrin_fuzz(engine_swap_record_fuzz LABEL engine
  SOURCES tests_rebuild/swap_record_fuzz.cpp
  DEPS tavrin_engine_rebuild
  SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/tests_rebuild/seeds)

# The system tables: the server configuration's store in the program folder.
tavrin_library(tavrin_engine_systables
  SOURCES
    system_tables.cpp
  DEPS tavrin_engine_server)

tavrin_test(engine_systables_tests LABEL engine
  SOURCES
    tests/systables/system_tables_test.cpp
  DEPS tavrin_engine_systables)

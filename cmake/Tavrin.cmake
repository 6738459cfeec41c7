# Helpers shared by every folder.

# tavrin_library(<name> SOURCES ... [DEPS ...])
# A static library whose headers are included from the source root
# ("platform/core/codepage.h").
function(tavrin_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(A_DEPS)
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  endif()
endfunction()

# tavrin_test(<name> LABEL <label> SOURCES ... [DEPS ...])
# One GoogleTest executable, run by CTest as one test with the given label.
function(tavrin_test name)
  cmake_parse_arguments(A "" "LABEL" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} tavrin_test_support GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${A_LABEL}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TAVRIN_CORPUS_DIR=${TAVRIN_CORPUS_DIR}")
endfunction()

# tavrin_fuzz(<name> LABEL <label> SOURCES ... [DEPS ...] [SEEDS files-or-folders...])
# A fuzz target defining LLVMFuzzerTestOneInput. With TAVRIN_LIBFUZZER it is a
# libFuzzer binary; otherwise it links our small driver, which replays the
# seeds and a fixed number of deterministic mutations, and runs as a test.
function(tavrin_fuzz name)
  cmake_parse_arguments(A "" "LABEL" "SOURCES;DEPS;SEEDS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  if(TAVRIN_LIBFUZZER)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_link_libraries(${name} PRIVATE tavrin_fuzz_driver)
    # Seeds taken from the corpus are left out when the corpus is not there,
    # as the corpus tests skip; seeds kept in the tree are always there.
    set(seeds "")
    foreach(seed IN LISTS A_SEEDS)
      if(EXISTS "${seed}")
        list(APPEND seeds "${seed}")
      endif()
    endforeach()
    add_test(NAME ${name} COMMAND ${name} ${seeds})
    set_tests_properties(${name} PROPERTIES LABELS "${A_LABEL};fuzz"
      ENVIRONMENT "TAVRIN_CORPUS_DIR=${TAVRIN_CORPUS_DIR}")
  endif()
endfunction()

# tavrin_bench(<name> SOURCES ... [DEPS ...]): a Google Benchmark program (not a test).
function(tavrin_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT TAVRIN_BUILD_BENCH)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE TAVRIN_CORPUS_DIR="${TAVRIN_CORPUS_DIR}")
endfunction()

# tavrin_acceptance_test(<name> SOURCES ... [DEPS ...] [SUITES ...])
# A test of a program as its user meets it: a GoogleTest executable run on a
# real X server of its own (xvfb-run picks a free display) with Qt's xcb
# platform, labelled "acceptance". A program stuck in a window nobody answers
# fails on the time-out instead of holding up the run. With SUITES, each
# named test suite is a test of its own (<name>.<suite>), so a parallel run
# spreads them over the cores.
function(tavrin_acceptance_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;SUITES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} tavrin_test_support GTest::gmock GTest::gtest_main)
  set(runs ${name})
  if(A_SUITES)
    set(runs)
    foreach(suite ${A_SUITES})
      list(APPEND runs ${name}.${suite})
    endforeach()
  endif()
  foreach(run ${runs})
    set(filter)
    if(A_SUITES)
      string(REPLACE "${name}." "" suite ${run})
      set(filter "--gtest_filter=${suite}.*")
    endif()
    add_test(NAME ${run}
      COMMAND xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" $<TARGET_FILE:${name}> ${filter})
    set_tests_properties(${run} PROPERTIES LABELS "acceptance" TIMEOUT 180
      ENVIRONMENT "QT_QPA_PLATFORM=xcb;TAVRIN_CORPUS_DIR=${TAVRIN_CORPUS_DIR}")
  endforeach()
endfunction()

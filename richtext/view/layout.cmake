# Line layout, painting and the editing engine.
tavrin_library(tavrin_richtext_layout
  SOURCES caret.cpp word_scan.cpp layout_measure.cpp layout_break.cpp paint.cpp edit_cursor.cpp edit_typing.cpp edit_format.cpp
  DEPS tavrin_richtext_view tavrin_richtext_model tavrin_platform_gdi tavrin_platform_imaging)

tavrin_test(richtext_layout_tests LABEL richtext
  SOURCES tests/layout/layout_test.cpp tests/layout/paint_test.cpp tests/layout/edit_test.cpp tests/layout/corpus_layout_test.cpp tests/layout/engine_services_test.cpp
    tests/layout/relayout_test.cpp
  DEPS tavrin_richtext_layout)

if(TAVRIN_WITH_GUI)
  tavrin_test(richtext_layout_qt_tests LABEL richtext
    SOURCES tests/layout/qt_render_test.cpp
    DEPS tavrin_richtext_layout tavrin_platform_gui_controls)
endif()

tavrin_bench(bench_rtf_layout
  SOURCES bench/rtf_layout_bench.cpp
  DEPS tavrin_richtext_layout tavrin_richtext_io)
if(TAVRIN_WITH_GUI AND TARGET bench_rtf_layout)
  target_link_libraries(bench_rtf_layout PRIVATE tavrin_platform_gui)
  target_compile_definitions(bench_rtf_layout PRIVATE TAVRIN_BENCH_QT=1)
endif()

tavrin_fuzz(richtext_layout_fuzz LABEL richtext
  SOURCES fuzz/rtf_layout_fuzz.cpp
  DEPS tavrin_richtext_layout tavrin_richtext_io
  SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/seeds
        ${CMAKE_CURRENT_SOURCE_DIR}/../io/fuzz/seeds
        ${TAVRIN_CORPUS_DIR}/rtf/rtfpipe-footnotes.rtf
        ${TAVRIN_CORPUS_DIR}/rtf/rtfpipe-nested_table_report.rtf
        ${TAVRIN_CORPUS_DIR}/hpj/eudora71/HtmlWh.rtf)

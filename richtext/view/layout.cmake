# Line layout, painting and the editing engine.
tavrin_library(tavrin_richtext_layout
  SOURCES caret.cpp word_scan.cpp layout_measure.cpp layout_break.cpp paint.cpp edit_cursor.cpp edit_typing.cpp edit_format.cpp
  DEPS tavrin_richtext_view tavrin_richtext_model tavrin_platform_gdi tavrin_platform_imaging)

tavrin_test(richtext_layout_tests LABEL richtext
  SOURCES tests_layout/layout_test.cpp tests_layout/paint_test.cpp tests_layout/edit_test.cpp tests_layout/corpus_layout_test.cpp tests_layout/engine_services_test.cpp
  DEPS tavrin_richtext_layout)

if(TAVRIN_WITH_GUI)
  tavrin_test(richtext_layout_qt_tests LABEL richtext
    SOURCES tests_layout/qt_render_test.cpp
    DEPS tavrin_richtext_layout tavrin_platform_gdi_qt Qt6::Gui)
endif()

tavrin_bench(bench_rtf_layout
  SOURCES bench/rtf_layout_bench.cpp
  DEPS tavrin_richtext_layout tavrin_richtext_io)

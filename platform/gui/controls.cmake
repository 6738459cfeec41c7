# The standard controls, grids, masked edit, menus, common dialogs, clipboard
# and printer, over the layer's core.
tavrin_library(tavrin_platform_gui_controls
  SOURCES
    controls_support.cpp clipboard.cpp edits.cpp mask_edit.cpp buttons.cpp lists.cpp menus.cpp grids.cpp common_dialogs.cpp printer.cpp image_list.cpp tree_view.cpp tabs.cpp scroll_controls.cpp spin_gauge.cpp file_controls.cpp drop_down.cpp
  DEPS tavrin_platform_gui Qt6::PrintSupport)

file(GLOB platform_gui_controls_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/controls/*.cpp)
tavrin_test(platform_gui_controls_tests LABEL gui
  SOURCES ${platform_gui_controls_tests} ${CMAKE_CURRENT_SOURCE_DIR}/tests/gui_fixture.cpp
  DEPS tavrin_platform_gui_controls)

tavrin_bench(bench_gui_controls
  SOURCES bench/controls_bench.cpp
  DEPS tavrin_platform_gui_controls Qt6::Widgets)

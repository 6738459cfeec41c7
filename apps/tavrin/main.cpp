// Tavrin, the help-authoring program.
#include "editor/forms/editor_app.h"

int main(int argc, char** argv) { return editor::RunTavrin(argc, argv); }

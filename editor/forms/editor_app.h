// The program's start: the program folder, the engine, the tables a fresh
// folder lacks, the splash window, the main window and the loop.
//   tavrin [keyword-file]            the program
//   tavrin --screenshot FILE         starts, writes the main window as PNG, closes
//   tavrin --form NAME [--screenshot FILE]
//                                    shows one window (TForm1, TTipsForm,
//                                    TSplashForm) and writes it as PNG
#pragma once

#include <functional>

namespace editor {

class TForm1;

int RunTavrin(int argc, char** argv);
// The same in this process, with `script` run on the main window once it
// shows; the window is closed when the script returns (end-to-end tests).
int RunTavrin(int argc, char** argv, std::function<void(TForm1&)> script);
// Gives the main window's File menu the import and export wizards.
void InstallWizards(TForm1* form);

}  // namespace editor

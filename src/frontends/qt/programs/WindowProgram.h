#pragma once
// The main dialog in a Qt window: what the program and the demonstration
// launcher share. Needs a QApplication and the platform installed.

// Runs the dialog until it has ended; returns the program's exit code.
int RunZarnetWindow();

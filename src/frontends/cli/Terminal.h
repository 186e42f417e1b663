#pragma once
// Whether a descriptor is a terminal a person looks at, and how wide it is.

// True for a terminal (on Windows a console). On Windows `isatty` is true for
// the NUL device too, where a question would be asked into nowhere: there the
// console API tells a console from any other character device.
bool IsTerminal(int fd);

// The terminal's width in columns, asked anew at each call so that a resized
// window is followed; 0 when `fd` is no terminal or does not tell.
int TerminalColumns(int fd);

// Lets the terminal take the bar's control sequences (carriage return and
// erase-line): on Windows a console processes them only when asked to.
void AllowTerminalSequences(int fd);

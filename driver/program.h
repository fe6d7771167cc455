// One run of the program: start-up, input, build, print, end.
#pragma once

// Runs the program with its command line and returns the exit status
// (0 normal end, 1 usage, version, configuration error or unreadable input).
int run_program(int argc, char* argv[]);

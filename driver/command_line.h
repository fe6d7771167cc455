// The command line: options fill the settings record in the order they are
// given; -h, an unknown option or a missing argument print the usage text,
// --help the usage text and the long options, -V or --version the version
// text, and each ends the run with status 1. Operands are input files.
#pragma once

#include <string>

struct command_line_result {
    bool go_on = true;          // false: the run ends with exit status 1
    bool has_arguments = false; // argc > 1: decides whether the default config file is read
};

// Parses argv into `settings`; operands go to settings.input_operands.
command_line_result parse_command_line(int argc, char* argv[]);

// argv[0] from the character after its last "/".
std::string program_name_of(const char* argv0);

// The usage text (standard error) and the version text (standard output).
void write_usage(const std::string& program_name);
void write_version(const char* program_path);

// Runs another Windows program from a test, the way a user's console would:
// with its own working folder and its standard output and error captured.
#pragma once

#include <string>

// Runs command_line in directory with standard input empty and standard
// output and error on pipes, whose bytes go to *out and *err unchanged. The
// exit code, or -1 when the program cannot start or outlives limit_ms (it is
// then ended).
int run_program(const std::string& command_line, const std::string& directory, std::string* out, std::string* err,
                int limit_ms = 60000);

// Text that a Windows program wrote in text mode, with its "\r\n" line ends
// as "\n".
std::string unix_line_ends(const std::string& text);

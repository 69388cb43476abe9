// Builds a Windows command line whose arguments the C runtime of the started
// program splits back into exactly the given strings.
#pragma once

#include <string>
#include <vector>

std::string windowsCommandLine(const std::vector<std::string>& arguments);

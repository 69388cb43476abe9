// The demo's own command line: its help, its capture options, and the
// options that GLUT takes; anything else is refused before a window opens.
#pragma once

// Handles --help and the capture options (removing the latter) and checks
// that every other option is GLUT's. Returns -1 when the demo should run,
// else the exit status: 0 after the help, 2 after a usage message.
int handleCommandLine(int* argc, char** argv);

// The subcommands; each takes the words after its name and returns the exit
// status (errors are thrown as CliError).
#pragma once

#include <string>

namespace tvx {

int RunInfo(int argc, char** argv);
int RunAnalyze(int argc, char** argv);
int RunResynth(int argc, char** argv);
int RunCollect(int argc, char** argv);
int RunEdit(int argc, char** argv);
int RunPlot(int argc, char** argv);
int RunDemo(int argc, char** argv);
int RunView(int argc, char** argv);

// Prints a subcommand's help text to standard output.
int PrintHelp(const char* text);
inline int PrintHelp(const std::string& text) { return PrintHelp(text.c_str()); }

}  // namespace tvx

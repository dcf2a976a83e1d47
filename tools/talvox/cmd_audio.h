// The `play` and `record` subcommands of the talvox command-line host.
// argv[0] is the subcommand's name. Exit status: 0 done, 1 failure (one line
// on standard error), 2 usage error.
#pragma once

int RunPlay(int argc, char** argv);
int RunRecord(int argc, char** argv);

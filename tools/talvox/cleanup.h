// What an interrupted run leaves behind, and how it goes. SIGINT, SIGTERM
// and SIGHUP are taken by a thread of their own, whatever the rest of the
// program is waiting on (a library call, the external pitch program, a pipe,
// worker processes). The work gets a short grace to stop at a safe point
// (CheckInterrupted throws there); after it the thread removes every
// registered temporary file and private folder, ends the registered worker
// processes and exits with 128 + the signal number, well within a second.
#pragma once

#include <sys/types.h>

#include <string>

namespace tvx {

// Call first in main, before any other thread exists.
void InstallInterruptCleanup();
// Throws CliError(128 + signal) once a signal arrived.
void CheckInterrupted();
bool InterruptRequested();
// For a server whose normal end is Ctrl-C: the forced end after the grace
// then exits with status 0 and no note, the clean-up being the same.
void InterruptIsNormalEnd();

// Registrations for the forced end; each returns a ticket for its removal.
// A temporary-file prefix: every entry of folder starting with prefix.
int RegisterTempPrefix(const std::string& folder, const std::string& prefix);
// A private folder: its files and the folder itself.
int RegisterPrivateFolder(const std::string& folder);
// A worker process: sent SIGTERM, then SIGKILL when it lingers.
int RegisterWorker(pid_t pid);
void Unregister(int ticket);

// Leftovers of killed runs. The temporary files of a write carry the
// writer's process id (".NAME.talvox-tmp-PID-N"); those of a process that
// no longer exists are removed from folder for the given file name.
void RemoveDeadWritersLeftovers(const std::string& folder, const std::string& name);
// Private folders "talvox-PID-XXXXXX" of dead processes, in base.
void RemoveDeadPrivateFolders(const std::string& base);

// True while a process of that id exists (or is not ours to signal).
bool ProcessAlive(pid_t pid);
// Removes the plain files of folder, then the folder (not recursive: private
// folders hold files only).
void RemoveFlatFolder(const std::string& folder);

}  // namespace tvx

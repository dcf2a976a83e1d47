// The working files of the external route live in a folder the library does
// not own, so they are only ever plain regular files: a symbolic link, a
// device, a pipe or a folder at one of the names is someone else's and is
// neither written through, nor read, nor removed.
#pragma once

namespace talvox {

// True when nothing is at path, or a regular file that is not a link.
bool IsFreeWorkingName(const char* path);

// Opens path for writing, emptied, when it is free in the sense above;
// -1 otherwise (also when the name turns into something else meanwhile).
int OpenWorkingFileForWriting(const char* path);

// Opens path for reading when it is a regular file; -1 otherwise (a pipe
// would never end, a device could be endless).
int OpenWorkingFileForReading(const char* path);

// Removes path only when it is a regular file and not a link.
void RemoveWorkingFile(const char* path);

// Holds an exclusive lock on the current folder for the run of the external
// program, so two calls (threads or processes) sharing that folder take
// turns instead of reading each other's answers. Without a lock (a file
// system that has none) the run goes on as before.
class WorkingFolderLock {
 public:
  WorkingFolderLock();
  ~WorkingFolderLock();
  WorkingFolderLock(const WorkingFolderLock&) = delete;
  WorkingFolderLock& operator=(const WorkingFolderLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace talvox

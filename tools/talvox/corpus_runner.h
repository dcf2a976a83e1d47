// Runs one worker process per file (the library holds one document per
// process), at most N at a time, collecting each worker's output.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tvx {

struct WorkerJob {
  std::vector<std::string> argv;  // argv[0] is the program to run
};

struct WorkerResult {
  int status = 0;       // exit status; 128 + signal when killed
  std::string out;      // its standard output
  std::string err;      // its standard error
};

// Runs the jobs; finished(i, result) is called in job order as soon as job
// i and all before it are done, so output stays in input order.
void RunWorkers(const std::vector<WorkerJob>& jobs, int parallel,
                const std::function<void(size_t, const WorkerResult&)>& finished);

}  // namespace tvx

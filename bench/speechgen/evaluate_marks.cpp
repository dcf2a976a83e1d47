// evaluate_marks: compares a marks file (sample positions, or point-process
// lines "t [i] = seconds") with a closures file from make_speech.
// Usage: evaluate_marks closures.txt marks.txt [rate]
#include <cstdio>
#include <cstdlib>

#include "mark_evaluation.h"
#include "speech_files.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: evaluate_marks closures.txt marks.txt [rate]\n");
    return 2;
  }
  int rate = argc > 3 ? std::atoi(argv[3]) : 16000;
  std::vector<speechgen::Closure> closures;
  std::vector<double> marks;
  if (!speechgen::ReadClosures(argv[1], rate, closures) ||
      !speechgen::ReadMarks(argv[2], rate, marks)) {
    std::fprintf(stderr, "evaluate_marks: cannot read the input files\n");
    return 1;
  }
  std::printf("%s\n", speechgen::FormatEvaluation(speechgen::EvaluateMarks(closures, marks, rate)).c_str());
  return 0;
}

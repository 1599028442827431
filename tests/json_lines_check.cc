// Reads what `brimlane-sim --json` printed on standard input and fails at the
// first line that is not one JSON object of a timeline event, or when there
// is no line at all.
#include <iostream>
#include <string>

#include "tests/json_lines.h"

int main() {
  std::string line;
  int number = 0;
  while (std::getline(std::cin, line)) {
    ++number;
    const std::string problem = brimlane::sim::jsonLineProblem(line);
    if (!problem.empty()) {
      std::cerr << "line " << number << ": " << problem << ":\n" << line << "\n";
      return 1;
    }
  }
  if (number == 0) {
    std::cerr << "nothing was printed\n";
    return 1;
  }
  std::cout << number << " lines, each one JSON object\n";
  return 0;
}

// morvane-sim: the whole system on the simulated desktop. With no arguments it plays the
// built-in tour; with a file it plays that scenario ("-": standard input); with --select NAME...
// it selects layouts in the simulated ACT! and shows every message sent.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "simulator/scenario.h"

namespace {

using namespace morvane;

void usage() {
  std::cerr
      << "usage: morvane-sim [SCENARIO-FILE | - | --select LAYOUT...]\n"
         "  no argument: play the built-in tour; '-': read the scenario from standard input\n";
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "--select") {
    int failures = 0;
    for (size_t i = 1; i < args.size(); ++i) {
      bool ok = false;
      std::cout << simulator::playSelection(args[i], &ok) << "\n";
      if (!ok) ++failures;
    }
    return failures == 0 ? 0 : 1;
  }
  std::string scenario;
  if (args.empty()) {
    scenario = simulator::builtInTour();
  } else if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
    usage();
    return 0;
  } else if (args.size() == 1) {
    std::ostringstream text;
    if (args[0] == "-") {
      text << std::cin.rdbuf();
    } else {
      std::ifstream file(args[0]);
      if (!file) {
        std::cerr << "morvane-sim: cannot read " << args[0] << "\n";
        return 2;
      }
      text << file.rdbuf();
    }
    scenario = text.str();
  } else {
    usage();
    return 2;
  }
  bool ok = false;
  std::cout << simulator::playScenario(scenario, &ok);
  return ok ? 0 : 1;
}

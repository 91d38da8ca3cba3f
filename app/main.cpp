#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "app/main_program.h"
#include "catalogue/run.h"
#include "platform/fatal_error.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv, argv + argc);
  if (arguments.empty()) arguments.emplace_back("kavrel");
  kavrel::Run run(std::cout);
  try {
    int code = kavrel::RunProgram(run, arguments);
    std::cout.flush();
    return code;
  } catch (const kavrel::FatalError& error) {
    std::cout.flush();
    std::cerr << error.what() << '\n';
  } catch (const std::bad_alloc&) {
    std::cout.flush();
    std::cerr << "Out of memory" << '\n';
  }
  return 1;
}

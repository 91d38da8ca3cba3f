#include <cstdlib>
#include <iostream>
#include <optional>
#include <new>
#include <string>
#include <vector>

#include "app/main_program.h"
#include "app/run.h"
#include "platform/fatal_error.h"
#include "platform/int_text.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv, argv + argc);
  if (arguments.empty()) arguments.emplace_back("kavrel");
  kavrel::Run run(std::cout);
  // Tests and impatient users can shorten how long a silent server is
  // waited for; the option syntax stays as it is.
  if (const char* timeout = std::getenv("KAVREL_NETWORK_TIMEOUT")) {
    std::optional<int32_t> seconds = kavrel::ParseIntegerText(timeout);
    if (seconds && *seconds > 0) run.input.NetworkTimeoutSeconds = *seconds;
  }
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

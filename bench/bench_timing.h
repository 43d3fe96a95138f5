#pragma once

#include <chrono>
#include <cstdlib>
#include <string>

namespace quillon::bench {

// Wall-clock seconds of a piece of work.
double secondsOf(const auto& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Wall-clock seconds of a peer program run through the shell; negative when it failed.
inline double commandSeconds(const std::string& command) {
  int status = 0;
  const double seconds = secondsOf([&] { status = std::system(command.c_str()); });
  return status == 0 ? seconds : -1;
}

}  // namespace quillon::bench

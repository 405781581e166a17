#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace c3dtest {

// What one run of a program printed and how it ended.
struct CliRun {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs `program` with `args` through the POSIX shell (each argument quoted),
// capturing stdout and stderr in files under `scratch`. `environment` holds
// NAME=value settings for that run only.
inline CliRun RunCli(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& scratch,
                     const std::vector<std::pair<std::string, std::string>>& environment = {}) {
  const auto quote = [](const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  };
  const auto outFile = scratch / "run.out";
  const auto errFile = scratch / "run.err";
  std::string command;
  for (const auto& [name, value] : environment) command += name + "=" + quote(value) + " ";
  command += quote(program);
  for (const auto& a : args) command += " " + quote(a);
  command += " >" + quote(outFile.string()) + " 2>" + quote(errFile.string()) + " </dev/null";
  const int status = std::system(command.c_str());
  const auto slurp = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  CliRun run;
  if (status != -1 && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.out = slurp(outFile);
  run.err = slurp(errFile);
  return run;
}

}  // namespace c3dtest

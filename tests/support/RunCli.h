#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "cli/WindowsCommandLine.h"
#else
#include <sys/wait.h>
#endif

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
// or on Windows directly with a command line that splits back into `args`,
// capturing stdout and stderr in files under `scratch`. `environment` holds
// NAME=value settings for that run only. Arguments and paths are UTF-8.
inline CliRun RunCli(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& scratch,
                     const std::vector<std::pair<std::string, std::string>>& environment = {}) {
#ifdef _WIN32
  const auto wide = [](const std::string& text) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
    return w;
  };
  const auto outFile = scratch / "run.out";
  const auto errFile = scratch / "run.err";
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const auto create = [&](const std::filesystem::path& p, DWORD access, DWORD disposition) {
    return CreateFileW(p.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = create("NUL", GENERIC_READ, OPEN_EXISTING);
  startup.hStdOutput = create(outFile, GENERIC_WRITE, CREATE_ALWAYS);
  startup.hStdError = create(errFile, GENERIC_WRITE, CREATE_ALWAYS);
  std::vector<std::pair<std::wstring, std::wstring>> saved;  // to restore after the run
  for (const auto& [name, value] : environment) {
    std::wstring before(32767, L'\0');
    const DWORD n = GetEnvironmentVariableW(wide(name).c_str(), before.data(), 32767);
    saved.emplace_back(wide(name), n > 0 ? before.substr(0, n) : std::wstring());
    SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str());
  }
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::wstring line = wide(WindowsCommandLine(argv));
  PROCESS_INFORMATION process{};
  CliRun run;
  if (CreateProcessW(wide(program).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) run.exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  for (const auto& [name, value] : saved)
    SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
  for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) CloseHandle(h);
  const auto slurp = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  run.out = slurp(outFile);
  run.err = slurp(errFile);
  return run;
#else
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
#endif
}

}  // namespace c3dtest

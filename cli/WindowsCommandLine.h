#pragma once

#include <string>
#include <vector>

// Windows hands a program one command line, which its C runtime splits into
// argv: white space separates arguments, double quotes group them, and a
// backslash is literal unless a run of backslashes ends at a double quote
// (2n backslashes + quote: n backslashes, quote groups; 2n+1: n backslashes
// and a literal quote). These build a command line that splits back into
// exactly the arguments given. Plain C++, so every platform tests them.

// `arg` as it must appear on a command line to be read back unchanged.
inline std::string QuoteWindowsArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled and the quote escaped; before
    // anything else they stand as they are.
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  // Before the closing quote, backslashes are doubled so it stays a quote.
  quoted.append(2 * backslashes, '\\');
  return quoted + '"';
}

// The command line for `args` (program first), each quoted as needed and
// separated by one space.
inline std::string WindowsCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    if (!line.empty()) line += ' ';
    line += QuoteWindowsArgument(arg);
  }
  return line;
}

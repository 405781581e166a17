// The command line tremolux-cli builds for its companion on Windows must
// split back, by the C runtime's rules, into exactly the arguments it was
// given: spaces, quotes, and backslashes before quotes and at the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/WindowsCommandLine.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>
#endif

namespace {

struct QuoteRow {
  const char* arg;
  const char* quoted;
};

class WindowsArgumentQuoting : public testing::TestWithParam<QuoteRow> {};

TEST_P(WindowsArgumentQuoting, SplitsBackIntoTheSameArgument) {
  const QuoteRow& row = GetParam();
  EXPECT_EQ(QuoteWindowsArgument(row.arg), row.quoted);
#ifdef _WIN32
  // The system's own splitter reads it back (after a program name).
  const std::string line = WindowsCommandLine({"prog.exe", row.arg, "next"});
  const std::wstring wide(line.begin(), line.end());  // the rows are ASCII
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(wide.c_str(), &count);
  ASSERT_NE(argv, nullptr);
  ASSERT_EQ(count, 3) << line;
  EXPECT_EQ(std::wstring(argv[1]), std::wstring(row.arg, row.arg + std::string(row.arg).size()));
  EXPECT_EQ(std::wstring(argv[2]), L"next");
  LocalFree(argv);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowsArgumentQuoting,
    testing::Values(QuoteRow{"plain.c3d", "plain.c3d"},                // as it is
                    QuoteRow{"", "\"\""},                              // an empty argument
                    QuoteRow{"My File.c3d", "\"My File.c3d\""},        // a space
                    QuoteRow{"tab\there", "\"tab\there\""},            // a tab
                    QuoteRow{"C:\\dir\\a.c3d", "C:\\dir\\a.c3d"},      // lone backslashes
                    QuoteRow{"say \"hi\"", "\"say \\\"hi\\\"\""},      // inner quotes
                    QuoteRow{"a\\\"b", "\"a\\\\\\\"b\""},              // backslash, quote
                    QuoteRow{"C:\\my dir\\", "\"C:\\my dir\\\\\""},    // trailing backslash
                    QuoteRow{"x\\\\ y\\\\", "\"x\\\\ y\\\\\\\\\""}));  // runs of two

}  // namespace

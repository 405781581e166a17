// The tables of texts users see, walked entry by entry: core/Messages.h
// (shared by the GUI and the command-line tool), cli/CliMessages.h (the
// tool's own stderr messages) and, when the GUI is built, its string table.
// Each text must be printable ASCII without stray blanks, and its
// placeholders must be the ones its users fill in: QString::arg's %1, %2, ...
// without gaps for the core and GUI texts, printf conversions for the CLI's.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliMessages.h"
#include "core/MessageTable.h"
#include "core/c3d/C3d.h"

#ifdef TREMOLUX_TEXT_TESTS_GUI
#include "gui/res/StringTable.h"
#endif

namespace {

enum class Placeholders { QtArg, Printf };

// Where a text may deviate from the plain rules, because its users put it
// next to other text: a leading blank (a status after "Status :"), a trailing
// blank (a prefix the rest follows) or a run of blanks (columns).
struct Allowances {
  bool leadingBlank = false;
  bool trailingBlank = false;
  bool doubleBlank = false;
};

// Every fault of `text`, one line each; empty when it follows the rules.
std::vector<std::string> TextFaults(const std::string& text, Placeholders kind, Allowances allow) {
  std::vector<std::string> faults;
  if (text.empty()) return {"empty"};
  int newlines = 0;
  for (const char c : text) {
    if (c == '\n') {
      ++newlines;
    } else if (c < 0x20 || c > 0x7e) {
      faults.push_back("byte " + std::to_string(static_cast<unsigned char>(c)) +
                       " is not printable ASCII");
    }
  }
  const bool prompt = newlines == 1 && text.front() != '\n' && text.back() != '\n';
  if (newlines > 0 && !(prompt || (kind == Placeholders::Printf && newlines == 1 &&
                                   text.back() == '\n' && text.size() > 1)))
    faults.push_back("a line break other than one between two parts (or a printf line's end)");
  // The parts between line breaks, each checked for blanks on its own.
  std::stringstream lines(text);
  for (std::string line; std::getline(lines, line, '\n');) {
    if (line.empty()) continue;
    if (line.front() == ' ' && !allow.leadingBlank) faults.push_back("leading blank");
    if (line.back() == ' ' && !allow.trailingBlank) faults.push_back("trailing blank");
    if (line.find("  ") != std::string::npos && !allow.doubleBlank)
      faults.push_back("two blanks in a row");
  }
  if (kind == Placeholders::QtArg) {
    std::set<int> numbers;
    for (std::size_t i = text.find('%'); i != std::string::npos; i = text.find('%', i + 1)) {
      const std::string rest = text.substr(i + 1, 2);
      if (rest.empty() || rest[0] < '1' || rest[0] > '9') {
        faults.push_back("a % that is no %1..%99 place");
        continue;
      }
      numbers.insert(std::stoi(rest.substr(0, rest.size() > 1 && std::isdigit(rest[1]) ? 2 : 1)));
    }
    int expected = 1;
    for (const int n : numbers) {
      if (n != expected++) {
        faults.push_back("places not numbered %1, %2, ... without gaps");
        break;
      }
    }
  } else {
    static const std::regex conversion(
        R"(%(%|[-+ #0]*[0-9]*(\.[0-9]+)?(hh|h|ll|l|z|j|t)?[dicsugxXfeEp]))");
    std::string rest = text;
    std::smatch m;
    while (std::regex_search(rest, m, conversion)) rest = m.prefix().str() + m.suffix().str();
    if (rest.find('%') != std::string::npos)
      faults.push_back("a % that starts no printf conversion");
  }
  return faults;
}

std::string Joined(const std::vector<std::string>& faults) {
  std::string s;
  for (const std::string& f : faults) s += (s.empty() ? "" : "; ") + f;
  return s;
}

// The names `pattern` declares in source file `path` (the first group).
std::set<std::string> DeclaredNames(const std::string& path, const std::string& pattern) {
  std::ifstream in(path);
  EXPECT_TRUE(in) << path;
  const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::regex declaration(pattern);
  std::set<std::string> names;
  for (auto it = std::sregex_iterator(source.begin(), source.end(), declaration);
       it != std::sregex_iterator(); ++it)
    names.insert((*it)[1].str());
  return names;
}

template <typename Table>
std::set<std::string> TableNames(const Table& table) {
  std::set<std::string> names;
  for (const auto& e : table) EXPECT_TRUE(names.insert(e.name).second) << e.name << " twice";
  return names;
}

// The rules themselves catch what they are meant to catch.
TEST(TextTables, RulesFindTheFaultsTheyNameAndPassTheirExceptions) {
  struct Row {
    const char* text;
    Placeholders kind;
    Allowances allow;
    bool faulty;
  };
  const Row rows[] = {
      {"", Placeholders::QtArg, {}, true},
      {"tab\there", Placeholders::QtArg, {}, true},
      {"caf\xe9", Placeholders::QtArg, {}, true},
      {"a\nb\nc", Placeholders::QtArg, {}, true},
      {"prompt\ntip", Placeholders::QtArg, {}, false},
      {"prompt \ntip", Placeholders::QtArg, {}, true},
      {" Idle", Placeholders::QtArg, {}, true},
      {" Idle", Placeholders::QtArg, {.leadingBlank = true}, false},
      {"Units: ", Placeholders::QtArg, {.trailingBlank = true}, false},
      {"two  blanks", Placeholders::QtArg, {}, true},
      {"%1 and %3", Placeholders::QtArg, {}, true},
      {"%2 then %1", Placeholders::QtArg, {}, false},
      {"%s in a Qt text", Placeholders::QtArg, {}, true},
      {"%1 s", Placeholders::QtArg, {}, false},
      {"file %s: %zu of %lld at %g\n", Placeholders::Printf, {}, false},
      {"50%, done\n", Placeholders::Printf, {}, true},
      {"100%% done\n", Placeholders::Printf, {}, false},
      {"line\n\n", Placeholders::Printf, {}, true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(!TextFaults(row.text, row.kind, row.allow).empty(), row.faulty)
        << '"' << row.text << '"';
  }
}

TEST(TextTables, CoreMessagesAreWellFormedAndAllListed) {
  // The status texts follow "Status :" and so begin with a blank; the
  // prefixes are followed by a value; the plot readout keeps its columns.
  const std::set<std::string> leading = {"kStatusIdle", "kStatusProcessing", "kStatusDone",
                                         "kStatusNoDevice", "kStatusSaved"};
  const std::set<std::string> trailing = {"kStatusPrefix", "kStatusDone", "kChannelUnits"};
  const std::set<std::string> columns = {"kPlotReadout"};
  for (const Messages::Entry& e : Messages::kTable) {
    const Allowances allow{leading.contains(e.name), trailing.contains(e.name),
                           columns.contains(e.name)};
    EXPECT_EQ(Joined(TextFaults(e.text, Placeholders::QtArg, allow)), "") << e.name;
  }
  EXPECT_EQ(TableNames(Messages::kTable), DeclaredNames(TREMOLUX_SOURCE_DIR "/core/Messages.h",
                                                        R"(inline constexpr const char\* (k\w+))"))
      << "core/MessageTable.h must list every text of core/Messages.h";
}

TEST(TextTables, LoadErrorTextsAreDistinctTextsOfTheCoreTable) {
  const C3dLoadError errors[] = {C3dLoadError::None,
                                 C3dLoadError::CannotOpen,
                                 C3dLoadError::NotC3d,
                                 C3dLoadError::UnknownProcessor,
                                 C3dLoadError::ParamBlockOne,
                                 C3dLoadError::ParameterWalkLoop,
                                 C3dLoadError::ParameterTooLarge,
                                 C3dLoadError::NotEnoughMemory,
                                 C3dLoadError::ReadError,
                                 C3dLoadError::Shrank};
  // Compared by content: a sanitizer build does not merge equal string
  // literals, so one text may sit at two addresses.
  std::set<std::string> texts;
  for (const C3dLoadError e : errors) {
    const std::string text = LoadErrorText(e);
    EXPECT_TRUE(texts.insert(text).second) << text;
    bool listed = false;
    for (const Messages::Entry& entry : Messages::kTable) listed = listed || entry.text == text;
    EXPECT_TRUE(listed) << text;
  }
}

TEST(TextTables, CliMessagesAreWellFormedAndAllListed) {
  const std::set<std::string> trailing = {"kFilePrefix", "kBatchChannel"};
  for (const CliMessages::Entry& e : CliMessages::kTable) {
    const Allowances allow{false, trailing.contains(e.name), false};
    EXPECT_EQ(Joined(TextFaults(e.text, Placeholders::Printf, allow)), "") << e.name;
  }
  EXPECT_EQ(TableNames(CliMessages::kTable), DeclaredNames(TREMOLUX_SOURCE_DIR "/cli/CliMessages.h",
                                                           R"(inline constexpr char (k\w+)\[\])"))
      << "CliMessages::kTable must list every text of cli/CliMessages.h";
}

#ifdef TREMOLUX_TEXT_TESTS_GUI
TEST(TextTables, GuiStringTableIsWellFormedWithUniqueIds) {
  std::set<int> ids;
  for (const Res::StringEntry& e : Res::StringEntries()) {
    EXPECT_TRUE(ids.insert(e.id).second) << "id " << e.id << " twice";
    EXPECT_EQ(Joined(TextFaults(e.text, Placeholders::QtArg, {})), "") << "id " << e.id;
  }
}
#endif

}  // namespace

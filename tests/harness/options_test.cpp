// The command line: --help lists every option and --version the project's
// version, both ending with 0; a bad command line ends with 2.

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "options.h"

namespace qzhost::test {
namespace {

struct Parsed {
  std::optional<int> Exit;
  Options Opts;
  std::string Out, Err;
};

Parsed Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "qz-host");
  Parsed p;
  std::ostringstream out, err;
  p.Exit = ParseOptions(static_cast<int>(args.size()), args.data(), p.Opts, out, err);
  p.Out = out.str();
  p.Err = err.str();
  return p;
}

TEST(OptionsTest, HelpListsEveryOptionAndEndsWithZero) {
  const Parsed p = Parse({"--help"});
  EXPECT_EQ(p.Exit, 0);
  for (const char* option : {"--par", "--driver", "--name", "--level", "--interval", "--for", "--json", "--show",
                             "--version", "--help"}) {
    EXPECT_NE(p.Out.find(option), std::string::npos) << option;
  }
}

TEST(OptionsTest, VersionIsTheProjectsAndEndsWithZero) {
  const Parsed p = Parse({"--version"});
  EXPECT_EQ(p.Exit, 0);
  EXPECT_NE(p.Out.find(std::string("qz-host ") + QZ_PROJECT_VERSION), std::string::npos) << p.Out;
}

TEST(OptionsTest, BadCommandLinesEndWithTwo) {
  const std::vector<std::vector<const char*>> cases = {
      {}, {"--json"}, {"--par", "x", "--interval", "10"}, {"--par", "x", "--for", "-1"}, {"--par", "x", "--bogus"}};
  for (const auto& args : cases) {
    const Parsed p = Parse(args);
    EXPECT_EQ(p.Exit, 2) << (args.empty() ? "(none)" : args.back());
    EXPECT_FALSE(p.Err.empty());
  }
}

TEST(OptionsTest, ValuesReachTheOptions) {
  const Parsed p = Parse({"--par", "line.par", "--name", "PUMPS", "--level", "3", "--interval", "250", "--for", "2.5",
                          "--json", "--show", "--driver", "lib.so"});
  EXPECT_FALSE(p.Exit.has_value()) << p.Err;
  EXPECT_EQ(p.Opts.Par, "line.par");
  EXPECT_EQ(p.Opts.Name, "PUMPS");
  EXPECT_EQ(p.Opts.Level, 3u);
  EXPECT_EQ(p.Opts.IntervalMs, 250);
  EXPECT_EQ(p.Opts.ForSeconds, 2.5);
  EXPECT_TRUE(p.Opts.Json);
  EXPECT_TRUE(p.Opts.Show);
  EXPECT_EQ(p.Opts.Driver, "lib.so");
}

}  // namespace
}  // namespace qzhost::test

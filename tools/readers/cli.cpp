#include "cli.h"

#include <cstdio>

namespace qz::readers {

void SetUpApp(CLI::App& app) {
  app.set_version_flag("--version", std::string(app.get_name()) + " " + QZ_PROJECT_VERSION);
  app.get_formatter()->column_width(28);
}

int Parse(CLI::App& app, int argc, char** argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  return -1;
}

void Warn(std::string_view tool, std::string_view file, std::string_view text) {
  std::string line(tool);
  line.append(": ");
  if (!file.empty()) line.append(file).append(": ");
  line.append(text).append("\n");
  std::fputs(line.c_str(), stderr);
}

int WorseExit(int a, int b) {
  auto rank = [](int code) { return code == kExitError ? 3 : code == kExitUsage ? 2 : code == kExitPartial ? 1 : 0; };
  return rank(a) >= rank(b) ? a : b;
}

}  // namespace qz::readers

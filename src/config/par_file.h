#pragma once
// Loading of the parameter file named by ParFileName into the
// configuration; its "$DIAGS" marker switches the log on.

#include <string>
#include <string_view>
#include <vector>

#include "config/par_reader.h"

namespace qz {

struct DriverConfig;
class Log;
class WindowModel;

// What a load leaves for the people who write parameter files (the
// checker): where the reader stopped and what it accepted with doubts.
struct ParLoadReport {
  bool DryRun = false;          // set by the caller: "$DIAGS" does not switch
                                // logging on, it is only noted
  ParObserver* Observer = nullptr;  // set by the caller; told where things are
  bool DiagsSeen = false;
  int Line = 0;                 // line of the last token the reader took
  std::vector<ParNote> Notes;   // values ignored or dropped by the load
  std::string StationsEnd;      // message of a station group that ended the
                                // stations early in a successful load
  int StationsEndLine = 0;
};

// Reads [COM], [GLOBAL] and the [STATION] groups. On failure returns false
// with the first error in ParseErrorText. Progress goes to the event list.
bool LoadParameterFile(DriverConfig& config, Log& log, WindowModel* window);
bool LoadParameterFile(DriverConfig& config, Log& log, WindowModel* window, ParLoadReport* report);

// The same from bytes in memory, as if they were the file named by
// ParFileName.
bool LoadParameterText(DriverConfig& config, Log& log, WindowModel* window, std::string_view text,
                       ParLoadReport* report = nullptr);

}  // namespace qz

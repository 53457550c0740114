#include "sim_config.h"

#include <cmath>

#include "config/par_file.h"
#include "diag/cp1250.h"
#include "host/driver_state.h"

namespace qz::sim {

namespace {

StationSetup FromRecord(const DriverState& state, const StationRecord& s) {
  StationSetup out;
  out.Address = s.Address;
  out.Retranslation = s.Retranslation;
  out.Name = Cp1250ToUtf8(s.Name.view());
  out.NumBinarIn = s.NumBinarIn;
  out.NumBinarOut = s.NumBinarOut;
  out.NumAnalogIn = s.NumAnalogIn;
  out.NumCounterIn = s.NumCounterIn;
  out.NumMemoryIn = s.NumMemoryIn;
  out.NumMemoryOut = s.NumMemoryOut;
  out.AnalogAddr = s.DefAnalogInAddr;
  for (int i = 1; i <= s.NumMemoryIn; ++i) {
    const MemoryDef& d = s.MemoryIn[static_cast<std::size_t>(i)];
    out.MemoryIn.push_back({d.Address, static_cast<std::uint8_t>(d.Type)});
  }
  for (int i = 1; i <= s.NumMemoryOut; ++i) {
    const MemoryDef& d = s.MemoryOut[static_cast<std::size_t>(i)];
    out.MemoryOut.push_back({d.Address, static_cast<std::uint8_t>(d.Type)});
  }
  for (const AnalogLimit& l : s.AnalogLimits) out.Scales.push_back({l.Low.value(), l.High.value(), l.Third.value()});
  for (const MemoryBlock* b = s.MemoryBlocks.get(); b; b = b->Next.get()) {
    BlockSetup block;
    block.Addr = b->Addr;
    for (char t : b->Types.view()) block.Types.push_back(static_cast<std::uint8_t>(t));
    out.Blocks.push_back(std::move(block));
  }
  for (const QqVariable* v = s.QqVariables.get(); v; v = v->Next.get()) {
    out.Qq.push_back({v->Block, v->Group, v->Item, static_cast<std::uint8_t>(v->Type),
                      static_cast<std::uint8_t>(v->Direction)});
  }
  out.Phone = s.Phone.str();
  out.PhoneDial = s.PhoneDial != 0;
  (void)state;
  return out;
}

void FromState(const DriverState& state, SimSetup& out) {
  out = SimSetup{};
  out.Line.Prefix = state.Config.Prefix.str();
  out.Line.Suffix = state.Config.Suffix.str();
  out.Line.PreSuffix = state.Config.PreSuffix.str();
  out.Line.MasterAddress = state.Config.MasterAddress;
  if (state.Config.Baud > 0) out.Baud = state.Config.Baud;
  const int data = state.Config.DataBits >= 5 && state.Config.DataBits <= 8 ? state.Config.DataBits : 8;
  const int stop = state.Config.StopBits == 2 ? 2 : 1;
  out.BitsPerChar = 1 + data + (state.Config.Parity != 0 ? 1 : 0) + stop;
  out.DataBits = state.Config.DataBits;
  out.Parity = state.Config.Parity;
  out.StopBits = state.Config.StopBits;
  const double answer = state.Config.AnswerTime.value();
  if (answer > 0 && answer < 3600) out.AnswerTimeMs = static_cast<int>(std::lround(answer * 1000));
  out.SilenceWaitMs = state.Config.SilenceWait;
  for (int n = 1; n <= state.Config.StationCount; ++n) out.Stations.push_back(FromRecord(state, state.Config.Station(n)));
}

bool Finish(bool ok, const DriverState& state, SimSetup& out, std::string& error) {
  if (!ok || state.Config.StationCount == 0) {
    error = Cp1250ToUtf8(state.Config.ParseErrorText.view());
    if (error.empty()) error = "no station in the parameter file";
    return false;
  }
  FromState(state, out);
  return true;
}

}  // namespace

bool LoadSetupFile(const std::string& path, SimSetup& out, std::string& error) {
  auto state = std::make_unique<DriverState>();
  InitDriverState(*state);
  state->Config.DriverName = "QZSIM";
  state->Config.ParFileName = path;
  ParLoadReport report;
  report.DryRun = true;  // the simulator writes no driver log
  const bool ok = LoadParameterFile(state->Config, state->Log, nullptr, &report);
  return Finish(ok, *state, out, error);
}

bool LoadSetupText(std::string_view text, SimSetup& out, std::string& error) {
  auto state = std::make_unique<DriverState>();
  InitDriverState(*state);
  state->Config.DriverName = "QZSIM";
  state->Config.ParFileName = "sim.par";
  ParLoadReport report;
  report.DryRun = true;
  const bool ok = LoadParameterText(state->Config, state->Log, nullptr, text, &report);
  return Finish(ok, *state, out, error);
}

}  // namespace qz::sim

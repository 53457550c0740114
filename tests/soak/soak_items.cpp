#include "soak/soak_items.h"

#include <cmath>
#include <sstream>

namespace qz::soak {

double SoakItem::NextValue(std::mt19937_64& rng) const {
  for (int attempt = 0; attempt < 16; ++attempt) {
    double v = 0;
    if (Integral) {
      v = static_cast<double>(std::uniform_int_distribution<std::int64_t>(static_cast<std::int64_t>(Lo),
                                                                           static_cast<std::int64_t>(Hi))(rng));
    } else {
      v = std::round(std::uniform_real_distribution<double>(Lo, Hi)(rng) * 100.0) / 100.0;
    }
    if (!Written || v != Last) return v;
  }
  return Written && Last == Lo ? Hi : Lo;
}

bool SoakItem::Matches(double stationValue) const {
  return std::fabs(stationValue - Last) <= Tolerance + (Integral ? 0.0 : 1e-4 * std::fabs(Last));
}

namespace {

SoakItem Make(int station, int address, Area where, std::uint32_t channel, std::uint32_t type, double lo, double hi,
              bool integral, std::string simItem, std::string kind) {
  SoakItem i;
  i.Station = station;
  i.Address = address;
  i.Where = where;
  i.Channel = channel;
  i.TypeCode = type;
  i.Lo = lo;
  i.Hi = hi;
  i.Integral = integral;
  i.Tolerance = integral ? 0.0 : 0.01;
  i.SimItem = std::move(simItem);
  i.Kind = std::move(kind);
  return i;
}

}  // namespace

SoakLine MakeSoakLine(int stations, int baud) {
  SoakLine line;
  std::ostringstream par;
  par << "[COM]\r\n IRQ 4\r\n BASE $3F8\r\n BAUD " << baud
      << "\r\n BITS 8\r\n PARITY NONE\r\n STOP 1\r\n OPTIONS 0\r\n BUFFER_SIZE 4096\r\n DRIVER SYSTEM 1\r\nEND\r\n"
         "[GLOBAL]\r\n PREFIX $10$02\r\n SUFFIX $10$03\r\n PRESUFFIX NONE\r\n ADDRESS 1\r\n ANSWER_TIME 0.5\r\n"
         " SILENCE_WAIT 5\r\n RTS_TIME_ON 0\r\n RTS_TIME_OFF 0\r\n DEF_ANALOG_IN_ADDR 256\r\n SLEEP_TIME 2.0\r\n"
         " SLEEP_COUNT 4\r\n IDLE_TIME 2\r\nEND\r\n";
  for (int k = 1; k <= stations; ++k) {
    const int address = 20 + k;
    const std::uint32_t b = 1000u * static_cast<std::uint32_t>(k);
    line.Addresses.push_back(address);
    par << "[STATION]\r\n ADDRESS " << address << "\r\n RETRANSLATION 0\r\n NAME \" Soak " << k
        << "\"\r\n NUM_BINAR_IN 8\r\n NUM_BINAR_OUT 8\r\n NUM_ANALOG_IN 2\r\n NUM_COUNTER_IN 2\r\n"
           " NUM_MEMORY_IN 1\r\n NUM_MEMORY_OUT 3\r\n BINAR_IN_XOR NONE\r\n BINAR_OUT_XOR NONE\r\n"
           " DEF_ANALOG_IN_ADDR $0100\r\n DEF_MEMORY_IN 1 $0300 REAL DEF_MEMORY_END\r\n"
           " DEF_MEMORY_OUT 1 $0400 REAL 2 $0403 WORD 3 $0406 BYTE DEF_MEMORY_END\r\n DEF_COUNTER_IN NONE\r\n"
        << " CHANNEL_BI " << b << "\r\n CHANNEL_BO " << b + 20 << "\r\n CHANNEL_AI " << b + 40 << "\r\n CHANNEL_CT "
        << b + 60 << "\r\n CHANNEL_MI " << b + 80 << "\r\n CHANNEL_MO " << b + 100 << "\r\n"
        << " QQ WRITE " << b + 200 << " 1 1 1 BYTE\r\n QQ BIDIR " << b + 201 << " 1 1 2 WORD\r\n QQ WRITE " << b + 202
        << " 1 1 3 INTEGER\r\n QQ BIDIR " << b + 203 << " 1 2 1 CARDINAL\r\n QQ WRITE " << b + 204
        << " 1 2 2 LONGINT\r\n QQ BIDIR " << b + 205 << " 1 2 3 REAL\r\n"
        << " MEMORY_BLOCK ADDR $0500 CHANNEL " << b + 300 << " CHANNEL_READ " << b + 299
        << " TYPES BYTE OUTPUT WORD OUTPUT INTEGER BIDIR CARDINAL OUTPUT LONGINT BIDIR REAL OUTPUT TYPES_END"
           " MEMORY_BLOCK_END\r\n"
        << " ErrorNoAnswer " << b + 400 << "\r\n MsgCounter " << b + 401 << "\r\n out_read_BI " << b + 410
        << "\r\n out_read_AI " << b + 411 << "\r\n out_read_CT " << b + 412 << "\r\n out_read_KI " << b + 413
        << "\r\nEND\r\n";
    for (std::uint32_t c : {b + 410, b + 411, b + 412, b + 413, b + 299}) line.ReadCommands.push_back(c);
    for (std::uint32_t c = b + 200; c <= b + 205; ++c) line.InputRequests.push_back(c);
    for (int i = 1; i <= 8; ++i)
      line.Items.push_back(Make(k, address, Area::BinaryOut, b + 20 + static_cast<std::uint32_t>(i) - 1, 2, 0, 1, true,
                                "bo " + std::to_string(i), "bo"));
    line.Items.push_back(Make(k, address, Area::MemoryOut, b + 100, 10, -500, 500, false, "mo 1", "mo"));
    line.Items.push_back(Make(k, address, Area::MemoryOut, b + 101, 10, 0, 65535, true, "mo 2", "mo"));
    line.Items.push_back(Make(k, address, Area::MemoryOut, b + 102, 10, 0, 255, true, "mo 3", "mo"));
    struct Typed {
      std::uint32_t Type;
      double Lo, Hi;
      bool Integral;
    };
    // BYTE, WORD, INTEGER, CARDINAL, LONGINT, REAL in this order, for the
    // block items and the QQ variables alike.
    const Typed blockTypes[] = {{3, 0, 255, true},          {4, 0, 65535, true},
                                {7, -32768, 32767, true},   {5, 0, 4294967295.0, true},
                                {8, -2147483648.0, 2147483647.0, true}, {10, -500, 500, false}};
    for (int i = 1; i <= 6; ++i) {
      const Typed& t = blockTypes[i - 1];
      line.Items.push_back(Make(k, address, Area::BlockItem, b + 300 + static_cast<std::uint32_t>(i) - 1, t.Type, t.Lo,
                                t.Hi, t.Integral, "blk 1." + std::to_string(i), "blk"));
    }
    // QQ values pass through a single: whole numbers up to 2^24 stay exact.
    const Typed qqTypes[] = {{3, 0, 255, true},      {4, 0, 65535, true},
                             {7, 0, 32767, true},    {5, 0, 16777215, true},
                             {8, -2147483648.0, 2147483647.0, true}, {10, -1000, 1000, false}};
    const char* qqNames[] = {"qq 1.1.1", "qq 1.1.2", "qq 1.1.3", "qq 1.2.1", "qq 1.2.2", "qq 1.2.3"};
    for (int i = 0; i < 6; ++i) {
      const Typed& t = qqTypes[i];
      line.Items.push_back(Make(k, address, Area::Qq, b + 200 + static_cast<std::uint32_t>(i), t.Type, t.Lo, t.Hi,
                                t.Integral, qqNames[i], "qq"));
    }
    // Counters: the host sets the base the driver counts on from; the
    // station keeps its own counts, so there is nothing to compare there.
    for (int i = 0; i < 2; ++i)
      line.Items.push_back(Make(k, address, Area::Counter, b + 60 + static_cast<std::uint32_t>(i), 10, 0, 100000, false,
                                "", "ct"));
    for (std::uint32_t c : {b, b + 1, b + 7, b + 40, b + 41, b + 60, b + 80, b + 400, b + 401})
      line.ReadChannels.push_back(c);
  }
  line.ParText = par.str();
  return line;
}

}  // namespace qz::soak

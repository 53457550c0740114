// Fuzz target: the 18 exports as a host calls them, with the arguments a
// careless or hostile host may pass (null records and buffers, any channel,
// type code, query and window code), on a driver instance whose line is in
// memory. Every buffer the driver may write is a heap block of exactly the
// size the host interface promises, so AddressSanitizer sees any write
// beyond it.
//
// The instance is started with a parameter file of three stations that
// claim every kind of item. Its port cannot open, so Init fails after the
// stations are loaded and no thread starts; the harness runs the
// communication cycle itself, under the instance's lock, on an in-memory
// line with a fake clock: the input decides when cycles run, how far the
// clock moves and which bytes the line receives (raw, or framed answers
// from a station).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

#include "diag/log.h"
#include "diag/statistics.h"
#include "engine/cycle.h"
#include "engine/engine_report.h"
#include "host/answer_handling.h"
#include "host/driver_handle.h"
#include "protocol/framing.h"
#include "qzdrk485.h"
#include "scratch_folder.h"
#include "support/fake_clock.h"
#include "support/memory_line.h"

namespace {

constexpr std::size_t kHostBufferSize = 16862;
constexpr std::size_t kTextBufferSize = 256;  // the longest text a channel gives
constexpr std::size_t kMessageSize = 256;

const char* const kStations =
    "[STATION]\r\n ADDRESS 5\r\n RETRANSLATION 0\r\n NAME \" Pump\"\r\n NUM_BINAR_IN 16\r\n NUM_BINAR_OUT 8\r\n"
    " NUM_ANALOG_IN 4\r\n NUM_COUNTER_IN 2\r\n NUM_MEMORY_IN 2\r\n NUM_MEMORY_OUT 3\r\n BINAR_IN_XOR 1 3\r\n"
    " BINAR_OUT_XOR 2\r\n DEF_ANALOG_IN_ADDR $0100\r\n"
    " DEF_MEMORY_IN 1 $0300 REAL 2 $0303 WORD DEF_MEMORY_END\r\n"
    " DEF_MEMORY_OUT 1 $0400 REAL 2 $0403 BYTE 3 $0406 WORD DEF_MEMORY_END\r\n"
    " DEF_COUNTER_IN 1 HOUR 0.01 0 2 DAY 1.0 5.5 DEF_COUNTER_END\r\n"
    " ANALOG_LIMITS 1 0.0 5.0 0.0 2 -20.0 60.0 0.5 ANALOG_LIMITS_END\r\n"
    " QQ READ 7001 1 1 1 BYTE\r\n QQ WRITE 7002 1 1 2 WORD\r\n QQ BIDIR 7003 1 1 3 INTEGER\r\n"
    " QQ BIDIR 7004 1 2 1 CARDINAL\r\n QQ BIDIR 7005 1 2 2 LONGINT\r\n QQ BIDIR 7006 1 2 3 REAL\r\n"
    " QQ BIDIR 7007 1 3 1 STRING\r\n"
    " MEMORY_BLOCK ADDR $0500 CHANNEL 7100 CHANNEL_READ 7099 TYPES BYTE OUTPUT WORD BIDIR INTEGER INPUT"
    " CARDINAL OUTPUT LONGINT BIDIR REAL BIDIR TYPES_END MEMORY_BLOCK_END\r\n"
    " ORIGINAL_CHANNELS\r\n name_channel 7200\r\n Video 7201\r\n CallCode 7205\r\nEND\r\n"
    "[STATION]\r\n ADDRESS 6\r\n RETRANSLATION 2\r\n NAME \" Well\"\r\n NUM_BINAR_IN 4\r\n NUM_BINAR_OUT 2\r\n"
    " NUM_ANALOG_IN 1\r\n NUM_COUNTER_IN 0\r\n NUM_MEMORY_IN 3\r\n NUM_MEMORY_OUT 1\r\n BINAR_IN_XOR NONE\r\n"
    " BINAR_OUT_XOR NONE\r\n DEF_ANALOG_IN_ADDR FROM_GLOBAL\r\n"
    " DEF_MEMORY_IN ARRAY 1 $0300 REAL 2 $0303 REAL 3 $0306 REAL DEF_MEMORY_END\r\n"
    " DEF_MEMORY_OUT 1 $0400 REAL DEF_MEMORY_END\r\n DEF_COUNTER_IN NONE\r\n PHONE D0601234567\r\n"
    " QQ BIDIR 7300 2 1 1 REAL\r\n ORIGINAL_CHANNELS\r\n in_connected_modem 2490\r\n out_connect_modem 2491\r\nEND\r\n"
    "[STATION]\r\n ADDRESS 7\r\n RETRANSLATION 0\r\n NAME \" Meter\"\r\n NUM_BINAR_IN 96\r\n NUM_BINAR_OUT 96\r\n"
    " NUM_ANALOG_IN 64\r\n NUM_COUNTER_IN 48\r\n NUM_MEMORY_IN 0\r\n NUM_MEMORY_OUT 0\r\n BINAR_IN_XOR NONE\r\n"
    " BINAR_OUT_XOR NONE\r\n DEF_ANALOG_IN_ADDR FROM_GLOBAL\r\n DEF_MEMORY_IN NONE\r\n DEF_MEMORY_OUT NONE\r\n"
    " DEF_COUNTER_IN NONE\r\n CHANNEL_BI 3000\r\n CHANNEL_BO 3100\r\n CHANNEL_AI 3200\r\n CHANNEL_CT 3300\r\n"
    " ErrorNoAnswer 3400\r\n MsgCounter 3401\r\n out_read_BI 3402\r\n out_read_AI 3403\r\n out_read_CT 3404\r\n"
    " out_read_AImorven 3405\r\n out_read_KI 3406\r\n out_write_BO 3407\r\n out_write_KO 3408\r\n"
    " out_write_all_BO_MO 3409\r\n bi_new_BI 3410\r\n in_active_message 3411\r\nEND\r\n";

// Driver-level channels of the host interface.
constexpr std::uint32_t kDriverChannels[] = {
    486,   487,   60000, 60001, 60002, 60003, 60004, 60009, 60010, 60017, 60018, 60021, 60022,
    60100, 60291, 60292, 65398, 65399, 65400, 65401, 65402, 65403, 65404, 65405, 65406, 65407,
    65408, 65409, 65410, 65411, 65412, 65413, 65414, 65415, 65416, 65421, 65531, 65532, 65533,
    65534, 65535};

struct Setup {
  std::string Dir;
  std::string ParFile;
  std::vector<std::uint32_t> Channels;  // every channel a station or QQ variable claims
};

std::string WriteParFile(const std::string& dir) {
  const std::string par = dir + "/line.par";
  std::ofstream out(par, std::ios::binary);
  out << "[COM]\r\n IRQ 4\r\n BASE $3F8\r\n BAUD 9600\r\n BITS 8\r\n PARITY NONE\r\n STOP 1\r\n OPTIONS 0\r\n"
         " BUFFER_SIZE 4096\r\n DRIVER SYSTEM 1\r\nEND\r\n"
         "[GLOBAL]\r\n PREFIX $10$02\r\n SUFFIX $10$03\r\n PRESUFFIX NONE\r\n ADDRESS 1\r\n ANSWER_TIME 1.0\r\n"
         " SILENCE_WAIT 5\r\n RTS_TIME_ON 1\r\n RTS_TIME_OFF 1\r\n DEF_ANALOG_IN_ADDR 256\r\n IDLE_TIME 2\r\n"
         " SLEEP_TIME 5.0\r\n SLEEP_COUNT 2\r\n CUC_PATH \" "
      << dir << "/\"\r\nEND\r\n"
      << kStations;
  return par;
}

const Setup& TheSetup() {
  static const Setup setup = [] {
    Setup s;
    const std::filesystem::path base =
        std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    s.Dir = (base / ("qz-exports-fuzz-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(s.Dir);
    RemoveAtExit(s.Dir);
    ::setenv("QZ_HDB_DIR", s.Dir.c_str(), 1);
    ::setenv("QZ_ROOT", s.Dir.c_str(), 1);
    // A port that never opens: the line is the harness's.
    ::setenv("QZ_COM1", (s.Dir + "/no-such-port").c_str(), 1);
    s.ParFile = WriteParFile(s.Dir);
    DriverHandle* h = ::MakeDriver();
    char message[kMessageSize] = "SCAN";
    ::Init(h, static_cast<std::int32_t>(s.ParFile.size()), s.ParFile.c_str(), nullptr, message, 0, nullptr,
           nullptr, nullptr);
    for (std::uint32_t c = 1; c <= 65535; ++c) {
      if (h->Channels.Find(static_cast<std::uint16_t>(c)) || h->Channels.MayBeQqKey(static_cast<std::uint16_t>(c)))
        s.Channels.push_back(c);
    }
    if (s.Channels.size() < 100) __builtin_trap();  // the parameter file did not load
    ::Done(h);
    ::DisposeDriver(h);
    return s;
  }();
  return setup;
}

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool More() const { return pos_ < size_; }
  std::uint32_t Take(int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | (pos_ < size_ ? data_[pos_++] : 0);
    return v;
  }
  std::string Bytes(std::size_t n) {
    n = std::min(n, size_ - pos_);
    std::string out(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// The host's side of one run: its buffers and the instance on a memory line.
class Host {
 public:
  explicit Host(const Setup& setup) : setup_(setup) {}
  ~Host() {
    cycle_.reset();
    if (h_) {
      ::Done(h_);
      ::DisposeDriver(h_);
    }
  }

  void Start(Input& in) {
    h_ = ::MakeDriver();
    InitAgain(in);
  }

  void Step(Input& in) {
    switch (in.Take(1) % 17) {
      case 0: Identity(in); break;
      case 1: Query(in); break;
      case 2: ::DriverProc(in.Take(1) & 1 ? h_ : nullptr, in.Take(1) % 9, static_cast<std::int32_t>(in.Take(4)),
                           static_cast<std::int32_t>(in.Take(2)), static_cast<std::int32_t>(in.Take(2)),
                           static_cast<std::int32_t>(in.Take(4)));
        break;
      case 3: ::BufferInfo(h_, Channel(in), static_cast<std::uint8_t>(in.Take(1)), in.Take(2) | 0x4000u * (in.Take(1) & 1)); break;
      case 4: ::SetBufferAddr(h_, Channel(in), in.Take(1) & 1 ? hostBuffer_.get() : nullptr); break;
      case 5: ::InputRequest(h_, Channel(in)); break;
      case 6:
      case 7: Get(in); break;
      case 8:
      case 9:
      case 10: Put(in); break;
      case 11: Finalize(in); break;
      case 12: Receive(in); break;
      case 13:
      case 14: Cycles(in); break;
      case 15: if ((in.Take(1) & 7) == 0) InitAgain(in); break;
      case 16: ::InputRequest(nullptr, Channel(in)); ::GetInput(h_, Channel(in), nullptr); break;
    }
  }

 private:
  std::uint32_t Channel(Input& in) {
    const std::uint32_t pick = in.Take(1);
    if (pick < 110) return setup_.Channels[in.Take(2) % setup_.Channels.size()];
    if (pick < 200) return kDriverChannels[in.Take(1) % std::size(kDriverChannels)];
    if (pick < 230) return in.Take(2);
    return in.Take(4);  // the high bits must not matter
  }

  static std::uint32_t TypeCode(Input& in) {
    const std::uint32_t t = in.Take(1);
    return t < 240 ? t % 14 : in.Take(4);
  }

  void InitAgain(Input& in) {
    cycle_.reset();
    // The host's name for the driver names the HDB files: letters only, so
    // that they stay in the harness's folder.
    std::string name = in.Bytes(in.Take(1) % 8);
    for (char& c : name) c = static_cast<char>('A' + static_cast<std::uint8_t>(c) % 26);
    name.push_back('\0');
    std::memset(message_.get(), 0, kMessageSize);
    std::memcpy(message_.get(), name.data(), std::min(name.size(), kMessageSize));
    // The parameter file's name may be cut by the length or by a NUL.
    const std::string& par = setup_.ParFile;
    const std::int32_t length = (in.Take(1) & 3) == 0 ? static_cast<std::int32_t>(in.Take(2)) - 100
                                                      : static_cast<std::int32_t>(par.size());
    const auto parName = std::make_unique<char[]>(par.size() + 1);
    std::memcpy(parName.get(), par.c_str(), par.size() + 1);
    ::Init(h_, length, parName.get(), nullptr, message_.get(), in.Take(1), nullptr, nullptr, nullptr);
    if (!h_->State || h_->Channels.Built() == false) return;
    // The communication cycle the thread would run, on the memory line.
    io_ = std::make_unique<qz::EngineIo>(qz::EngineIo{
        line_, clock_, [this](std::string_view text) {
          h_->State->Engine.PendingEventText = text;
          qz::AddToMemo(h_->State->Engine, h_->State->Log, h_->Window.get());
        },
        nullptr, [this](std::string_view label, std::string_view text) { h_->State->Log.Line(label, text); }});
    cycle_ = std::make_unique<qz::CommunicationCycle>(
        qz::EngineRecordsOf(*h_->State), *io_,
        [this](const qz::ReceivedEntry& e) {
          return qz::DecodeAnswer(*h_->State, e.Answer.view(), e.SentFrame.view(), e.Values);
        },
        [this] { qz::ShowStatistics(qz::StatisticsFigures(h_->State->Engine), h_->Window.get()); });
  }

  void Identity(Input& in) {
    ::Version();
    ::Check();
    const auto info = std::make_unique<char[]>(34);
    ::GetDriverInfo(static_cast<std::int32_t>(in.Take(4)), in.Take(1) & 1 ? info.get() : nullptr);
    ::InputRequestCompleted();
    ::OutputRequestCompleted();
  }

  void Query(Input& in) {
    const std::uint32_t kind = in.Take(1);
    const std::uint32_t code = kind & 1 ? 11 : kind & 2 ? 12 : in.Take(4);
    std::string name = (kind & 4) ? (kind & 8 ? "GetVersion" : "GetWindow") : in.Bytes(in.Take(1) % 12);
    name.push_back('\0');
    const auto nameBuffer = std::make_unique<char[]>(name.size());
    std::memcpy(nameBuffer.get(), name.data(), name.size());
    // The reply's buffer: 34 bytes for the version, Kind bytes for the window.
    QueryReply reply{};
    reply.Kind = (kind & 16) ? 11 : 1 + in.Take(2) % 3000;
    const std::size_t capacity = reply.Kind == 11 ? 34 : reply.Kind;
    const auto text = std::make_unique<char[]>(capacity);
    reply.Text = (kind & 32) ? nullptr : text.get();
    ::QueryProc((kind & 64) ? nullptr : h_, code, (kind & 128) ? nullptr : nameBuffer.get(), nullptr,
                in.Take(1) == 0 ? nullptr : &reply);
  }

  void Get(Input& in) {
    const std::uint32_t channel = Channel(in);
    auto value = std::make_unique<HostValue>();
    value->TypeCode = TypeCode(in);
    char* text = (in.Take(1) & 1) ? textBuffer_.get() : nullptr;
    std::memcpy(value->ValueBytes, &text, sizeof text);
    ::GetInput(in.Take(1) == 0 ? nullptr : h_, channel, value.get());
  }

  void Put(Input& in) {
    const std::uint32_t channel = Channel(in);
    HostValue value{};
    value.TypeCode = TypeCode(in);
    const std::uint32_t how = in.Take(1);
    if (how < 80) {
      const double x = static_cast<double>(static_cast<std::int32_t>(in.Take(4))) / ((how & 7) + 1);
      std::memcpy(value.ValueBytes, &x, sizeof x);
    } else if (how < 120) {
      value.ValueBytes[0] = static_cast<std::uint8_t>(how & 1);
    } else {
      const std::string raw = in.Bytes(8);
      std::memcpy(value.ValueBytes, raw.data(), raw.size());
    }
    ::OutputRequest(how == 255 ? nullptr : h_, channel, value);
  }

  void Finalize(Input& in) {
    auto count = std::make_unique<std::uint32_t>(7);
    const bool null = in.Take(1) & 1;
    ::InputFinalized(nullptr, nullptr, null ? nullptr : count.get());
    ::OutputFinalized(nullptr, nullptr, null ? nullptr : count.get());
  }

  // Bytes the line receives: raw, or a framed answer from a station.
  void Receive(Input& in) {
    const std::uint32_t how = in.Take(1);
    std::string body = in.Bytes(in.Take(1) % 96);
    if (how < 64 || !h_->State) {
      line_.Receive(body);
      return;
    }
    const qz::DriverState& s = *h_->State;
    const std::uint8_t station = static_cast<std::uint8_t>(5 + how % 4);
    std::string header;
    if (how & 0x40) header = {static_cast<char>(s.Config.MasterAddress), 0, 'Y', 0, static_cast<char>(s.Config.MasterAddress), static_cast<char>(station)};
    else header = {static_cast<char>(station), 0};
    line_.Receive(qz::FrameMessage(s.Config, header, body).view());
  }

  void Cycles(Input& in) {
    if (!cycle_) return;
    const int count = 1 + static_cast<int>(in.Take(1) % 32);
    const std::uint32_t stepMs = in.Take(1);
    for (int i = 0; i < count; ++i) {
      clock_.AdvanceMs(stepMs < 200 ? stepMs % 20 : (stepMs - 199) * 100);
      std::lock_guard guard(h_->Lock);
      cycle_->Run(line_.Active());
    }
    line_.Take();  // what the driver sent
  }

  const Setup& setup_;
  DriverHandle* h_ = nullptr;
  qz::test::MemoryLine line_;
  qz::test::FakeClock clock_;
  std::unique_ptr<qz::EngineIo> io_;
  std::unique_ptr<qz::CommunicationCycle> cycle_;
  std::unique_ptr<std::uint8_t[]> hostBuffer_ = std::make_unique<std::uint8_t[]>(kHostBufferSize);
  std::unique_ptr<char[]> textBuffer_ = std::make_unique<char[]>(kTextBufferSize);
  std::unique_ptr<char[]> message_ = std::make_unique<char[]>(kMessageSize);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Setup& setup = TheSetup();
  Input in(data, size);
  Host host(setup);
  host.Start(in);
  for (int calls = 0; in.More() && calls < 400; ++calls) host.Step(in);
  return 0;
}

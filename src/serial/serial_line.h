#pragma once
// The narrow view of a serial line that the engine works through.
//
// TSerial implements it over a real port; tests use an in-memory line.

#include <cstdint>
#include <string_view>

namespace qz {

// What the engine's thread waits for on the line besides its own time.
struct LineWait {
  std::int32_t TimeoutMs = -1;  // the longest wait; < 0: no limit
  std::int32_t RxBytes = 0;     // ends once this many bytes wait to be read (0: bytes not awaited)
  bool Drain = false;           // ends once the output buffer is empty
};

class SerialLine {
 public:
  virtual ~SerialLine() = default;

  virtual bool Active() const = 0;
  // Queues all bytes for sending; gives up after a time limit that grows
  // with the text and falls with the rate.
  virtual void WriteText(std::string_view bytes) = 0;
  // Reads at most one byte, waiting up to 100 ms; returns 0 or 1.
  virtual int ReadChar(std::uint8_t& byte) = 0;
  // Bytes received and not yet read; 0 on a closed port.
  virtual std::int32_t RxWaiting() = 0;
  // Bytes queued and not yet sent; 0 on a closed port.
  virtual std::int32_t TxWaiting() = 0;
  // Abort pending reads / writes; never drop bytes already buffered.
  virtual void PurgeRx() = 0;
  virtual void PurgeTx() = 0;
  // Signal 0 is RTS, 1 is DTR; returns whether the platform took it.
  virtual bool SetSignal(int signal, bool state) = 0;

  // Blocks until what the wait asks for, WakeLine or its time-out, and
  // never longer; returns at once when it is there already. A WakeLine that
  // comes before the wait ends it at once. Called without any lock held.
  virtual void AwaitLine(const LineWait& wait) = 0;
  // Ends the current or the next AwaitLine; from any thread.
  virtual void WakeLine() = 0;
};

}  // namespace qz

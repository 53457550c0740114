// The driver's exports: argument checks and a call into the core. Nothing
// thrown inside ever reaches the host; a failure becomes the export's
// failure result.

#include <cstring>
#include <string>

#include "diag/texts.h"
#include "host/driver_handle.h"
#include "host/lifecycle.h"
#include "qzdrk485.h"

namespace {

// Runs body; any exception becomes the fallback result.
template <class Result, class Body>
Result Guarded(Result fallback, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

template <class Body>
void Guarded(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

constexpr std::size_t kMaxHostName = 255;
constexpr std::size_t kMaxParFileName = 255;

}  // namespace

extern "C" {

QZ_EXPORT int32_t QZ_CALL Version(void) { return qz::kHostInterfaceVersion; }

QZ_EXPORT uint8_t QZ_CALL Check(void) { return 1; }

// Writes the 33 characters of the identity and a NUL; the size is not read.
QZ_EXPORT int32_t QZ_CALL GetDriverInfo(int32_t /*size*/, char* text) {
  const auto info = qz::text::kDriverInfo;
  if (text) {
    std::memcpy(text, info.data(), info.size());
    text[info.size()] = '\0';
  }
  return static_cast<int32_t>(info.size());
}

QZ_EXPORT void QZ_CALL QueryProc(DriverHandle* /*h*/, uint32_t code, const char* name, void* /*unused*/,
                                 QueryReply* reply) {
  constexpr uint32_t kQueryVersion = 11;
  if (code != kQueryVersion || !name || !reply || reply->Kind != kQueryVersion || !reply->Text) return;
  if (qz::ReadHostText(name, qz::text::kQueryVersionName.size() + 1) != qz::text::kQueryVersionName) return;
  const auto info = qz::text::kDriverInfo;
  std::memcpy(reply->Text, info.data(), info.size());
  reply->Text[info.size()] = '\0';
}

QZ_EXPORT DriverHandle* QZ_CALL MakeDriver(void) {
  return Guarded<DriverHandle*>(nullptr, [] { return qz::MakeDriverInstance(); });
}

QZ_EXPORT uint8_t QZ_CALL Init(DriverHandle* h, int32_t nameLength, const char* name, void* /*unused4*/,
                               char* message, uint32_t accessLevel, void* /*u7*/, void* /*u8*/,
                               void* /*u9*/) {
  if (!h) {
    qz::WriteHostMessage(message, "no driver instance");
    return 0;
  }
  return Guarded<uint8_t>(0, [&]() -> uint8_t {
    qz::InitArgs args;
    const std::size_t parLimit = nameLength > 0 ? static_cast<std::size_t>(nameLength) : 0;
    args.ParFileName = qz::ReadHostText(name, parLimit < kMaxParFileName ? parLimit : kMaxParFileName);
    // The host's name for the driver is read before the buffer is reused
    // for a failure message.
    const std::string hostName(qz::ReadHostText(message, kMaxHostName));
    args.HostName = hostName;
    args.AccessLevel = accessLevel;
    std::string failure;
    if (qz::InitInstance(*h, args, failure)) return 1;
    qz::WriteHostMessage(message, failure);
    return 0;
  });
}

QZ_EXPORT void QZ_CALL Done(DriverHandle* h) {
  if (h) Guarded([&] { qz::DoneInstance(*h); });
}

QZ_EXPORT void QZ_CALL DisposeDriver(DriverHandle* h) {
  Guarded([&] { qz::DisposeInstance(h); });
}

QZ_EXPORT void QZ_CALL DriverProc(DriverHandle* h, uint32_t code, int32_t a, int32_t b, int32_t c, int32_t d) {
  if (h) Guarded([&] { qz::DriverProcInstance(*h, code, a, b, c, d); });
}

// Host data exchange: channels are resolved once the stations are loaded.
QZ_EXPORT uint8_t QZ_CALL BufferInfo(DriverHandle* /*h*/, uint32_t /*channel*/, uint8_t /*typeCode*/,
                                     uint32_t /*size*/) {
  return 0;
}

QZ_EXPORT void QZ_CALL SetBufferAddr(DriverHandle* /*h*/, uint32_t /*channel*/, void* /*buffer*/) {}

QZ_EXPORT void QZ_CALL InputRequest(DriverHandle* /*h*/, uint32_t /*channel*/) {}

QZ_EXPORT void QZ_CALL InputRequestCompleted(void) {}

QZ_EXPORT uint8_t QZ_CALL InputFinalized(void* /*a*/, void* /*b*/, uint32_t* count) {
  if (count) *count = 0;
  return 1;
}

QZ_EXPORT void QZ_CALL GetInput(DriverHandle* /*h*/, uint32_t /*channel*/, HostValue* /*value*/) {}

QZ_EXPORT void QZ_CALL OutputRequest(DriverHandle* /*h*/, uint32_t /*channel*/, HostValue /*value*/) {}

QZ_EXPORT void QZ_CALL OutputRequestCompleted(void) {}

QZ_EXPORT uint8_t QZ_CALL OutputFinalized(void* /*a*/, void* /*b*/, uint32_t* count) {
  if (count) *count = 0;
  return 1;
}

}  // extern "C"

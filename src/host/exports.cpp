// The driver's exports: argument checks and a call into the core. Nothing
// thrown inside ever reaches the host; a failure becomes the export's
// failure result.

#include <mutex>

#include "history/host_buffer.h"
#include "host/driver_handle.h"
#include "host/identity.h"
#include "host/input_requests.h"
#include "host/lifecycle.h"
#include "host/output_requests.h"
#include "host/window_query.h"
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

}  // namespace

extern "C" {

QZ_EXPORT int32_t QZ_CALL Version(void) { return qz::kHostInterfaceVersion; }

QZ_EXPORT uint8_t QZ_CALL Check(void) { return 1; }

// The size is not read: the host's buffer always takes the 34 bytes.
QZ_EXPORT int32_t QZ_CALL GetDriverInfo(int32_t /*size*/, char* text) { return qz::WriteDriverInfo(text); }

QZ_EXPORT void QZ_CALL QueryProc(DriverHandle* h, uint32_t code, const char* name, void* /*unused*/,
                                 QueryReply* reply) {
  Guarded([&] {
    qz::AnswerQuery(code, name, reply);
    qz::AnswerWindowQuery(h, code, name, reply);
  });
}

QZ_EXPORT DriverHandle* QZ_CALL MakeDriver(void) {
  return Guarded<DriverHandle*>(nullptr, [] { return qz::MakeDriverInstance(); });
}

QZ_EXPORT uint8_t QZ_CALL Init(DriverHandle* h, int32_t nameLength, const char* name, void* /*unused4*/,
                               char* message, uint32_t accessLevel, void* /*u7*/, void* /*u8*/,
                               void* /*u9*/) {
  if (!h) return 0;
  return Guarded<uint8_t>(0, [&]() -> uint8_t {
    return qz::InitFromHost(*h, nameLength, name, message, accessLevel) ? 1 : 0;
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

// Host data exchange. Every call that touches the state runs under the
// instance lock, so it never interleaves with a cycle of the communication
// thread.
QZ_EXPORT uint8_t QZ_CALL BufferInfo(DriverHandle* /*h*/, uint32_t channel, uint8_t typeCode, uint32_t size) {
  return qz::HostBufferAccepted(channel, typeCode, size) ? 1 : 0;
}

QZ_EXPORT void QZ_CALL SetBufferAddr(DriverHandle* h, uint32_t channel, void* buffer) {
  if (!h || !h->State) return;
  Guarded([&] {
    std::lock_guard guard(h->Lock);
    qz::SetBufferAddr(*h->State, channel, buffer);
  });
}

QZ_EXPORT void QZ_CALL InputRequest(DriverHandle* h, uint32_t channel) {
  if (!h || !h->State) return;
  Guarded([&] {
    std::lock_guard guard(h->Lock);
    qz::InputRequest(*h, channel);
  });
}

QZ_EXPORT void QZ_CALL InputRequestCompleted(void) {}

QZ_EXPORT uint8_t QZ_CALL InputFinalized(void* /*a*/, void* /*b*/, uint32_t* count) {
  if (count) *count = 0;
  return 1;
}

QZ_EXPORT void QZ_CALL GetInput(DriverHandle* h, uint32_t channel, HostValue* value) {
  if (!h || !h->State || !value) return;
  Guarded([&] {
    std::lock_guard guard(h->Lock);
    qz::GetInput(*h, channel, *value);
  });
}

QZ_EXPORT void QZ_CALL OutputRequest(DriverHandle* h, uint32_t channel, HostValue value) {
  if (!h || !h->State) return;
  Guarded([&] {
    std::lock_guard guard(h->Lock);
    qz::OutputRequest(*h, channel, value);
  });
}

QZ_EXPORT void QZ_CALL OutputRequestCompleted(void) {}

QZ_EXPORT uint8_t QZ_CALL OutputFinalized(void* /*a*/, void* /*b*/, uint32_t* count) {
  if (count) *count = 0;
  return 1;
}

}  // extern "C"

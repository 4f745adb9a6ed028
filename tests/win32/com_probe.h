// The object the COM tests call: in the test program itself behind exposeObject, and in
// com_test_server.exe behind COM. Its members echo, change by-reference arguments, fail, raise
// events during a call, hand out a child object, hang and end the process, so that one set of tests
// can pin each behaviour in-process and across processes.
#pragma once

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/sim_automation.h"
#include "platform/win32/com/com_registration.h"

namespace morvane::win32::testing {

inline constexpr CLSID kProbeClsid = {
    0xe7c46492, 0x853e, 0x45d5, {0x97, 0xef, 0xbb, 0x36, 0xda, 0x44, 0xed, 0x85}};
// The probe's event interface: event 1 Changed(ByRef Text), with dispatch identifier 1.
inline constexpr IID kProbeEventsIid = {
    0x76f5118f, 0xc574, 0x4dd7, {0x86, 0xc6, 0x48, 0x26, 0x36, 0x99, 0x98, 0xd5}};
inline constexpr std::string_view kProbeProgId = "MorvaneTest.Probe";
// Probes of a server of their own (com_test_server.exe /victim), for tests that kill it. Under Wine
// a killed server's class stays registered with COM for the rest of the session, so each bitness of
// the tests kills its own class.
inline constexpr CLSID kVictimClsid32 = {
    0x8a7ab1f9, 0x1169, 0x4a1b, {0x87, 0xc0, 0xdf, 0x9c, 0x25, 0x38, 0xca, 0xbd}};
inline constexpr CLSID kVictimClsid64 = {
    0x0b45442b, 0xb4da, 0x4c78, {0xbc, 0x66, 0x8a, 0xcf, 0x6a, 0xe1, 0xae, 0x85}};

LocalServerClass probeClass();
// The victim class of this program's bitness.
LocalServerClass victimClass();

class Probe : public sim::SimDispatch, public std::enable_shared_from_this<Probe> {
 public:
  Probe();
  // Sinks hear the events with the arguments by reference, one after the other.
  uint32_t advise(std::shared_ptr<EventSink> sink) override;
  void unadvise(uint32_t cookie) override;

 private:
  std::vector<std::pair<uint32_t, std::shared_ptr<EventSink>>> m_sinks;
  uint32_t m_nextCookie = 1;
  ObjectRef m_child;
  std::string m_text;
};

}  // namespace morvane::win32::testing

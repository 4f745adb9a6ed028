// The COM classes the ACT! stand-in serves, with their class identifiers, and the identifier of
// the event control's event interface. Generated once for the stand-in; never change them, they
// are what ActStandIn.exe /regserver writes into the registry.
#pragma once

#include <array>
#include <string_view>

#include "hostsim/act_automation.h"
#include "platform/win32/com/com_registration.h"

namespace morvane::hostwin {

// {5EA6B988-0763-4661-B553-A43DDC3EAFA5} "ACTOLE.APPOBJECT"
inline constexpr CLSID kAppClsid = {
    0x5ea6b988, 0x0763, 0x4661, {0xb5, 0x53, 0xa4, 0x3d, 0xdc, 0x3e, 0xaf, 0xa5}};
// {22DAEE49-4A43-4728-AA19-0D55047FE66C} "ACTOLE.DATABASE"
inline constexpr CLSID kDatabaseClsid = {
    0x22daee49, 0x4a43, 0x4728, {0xaa, 0x19, 0x0d, 0x55, 0x04, 0x7f, 0xe6, 0x6c}};
// {7B043557-A448-42B4-A5DC-DFB7E19BF911} "ACTOLE.AUXCMDS"
inline constexpr CLSID kAuxCmdsClsid = {
    0x7b043557, 0xa448, 0x42b4, {0xa5, 0xdc, 0xdf, 0xb7, 0xe1, 0x9b, 0xf9, 0x11}};
// {3AAA31E1-5ED7-45A4-99C7-B8CE76395412} "ACTEVENTLib.ActEvent"
inline constexpr CLSID kEventControlClsid = {
    0x3aaa31e1, 0x5ed7, 0x45a4, {0x99, 0xc7, 0xb8, 0xce, 0x76, 0x39, 0x54, 0x12}};
// {5C792893-5A58-4601-8E43-DE38C83A36C3}: the event control's events, a dispatch interface whose
// event N has the dispatch identifier N (hostsim::event).
inline constexpr IID kEventControlEventsIid = {
    0x5c792893, 0x5a58, 0x4601, {0x8e, 0x43, 0xde, 0x38, 0xc8, 0x3a, 0x36, 0xc3}};

struct StandInClass {
  const CLSID* clsid;
  std::string_view progId;
  std::string_view description;
  const IID* events;  // nullptr for a class without events
};

inline constexpr std::array<StandInClass, 4> kStandInClasses{{
    {&kAppClsid, hostsim::kAppProgId, "ACT! application (stand-in)", nullptr},
    {&kDatabaseClsid, hostsim::kDatabaseProgId, "ACT! database (stand-in)", nullptr},
    {&kAuxCmdsClsid, hostsim::kAuxCmdsProgId, "ACT! additional commands (stand-in)", nullptr},
    {&kEventControlClsid, hostsim::kEventControlProgId, "ACT! event control (stand-in)",
     &kEventControlEventsIid},
}};

inline win32::LocalServerClass localServerClass(const StandInClass& cls) {
  return {*cls.clsid, std::string(cls.progId), std::string(cls.description)};
}

}  // namespace morvane::hostwin

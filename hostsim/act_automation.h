// ACT!'s automation objects and its event control, on the simulated desktop. Every object reads
// and changes the one ActSim it was made from.
//
// Objects by ProgID: "ACTOLE.APPOBJECT" (App), "ACTOLE.DATABASE" (Database), "ACTOLE.AUXCMDS"
// (AuxCmds); the event control "ACTEVENTLib.ActEvent". Creating one of the first three while
// ACT! is not running fails with 429 (the simulation does not start ACT! by itself); objects made
// before ACT! closed fail as disconnected afterwards. Members named in ActSim::faults fail with
// an automation error. Arguments convert as COM converts them, except view.GetField's field
// number, which is taken by reference and so must be a 16-bit integer (13 otherwise).
#pragma once

#include <memory>
#include <string_view>

#include "hostsim/act_sim.h"
#include "platform/sim/sim_automation.h"

namespace morvane::hostsim {

inline constexpr std::string_view kAppProgId = "ACTOLE.APPOBJECT";
inline constexpr std::string_view kDatabaseProgId = "ACTOLE.DATABASE";
inline constexpr std::string_view kAuxCmdsProgId = "ACTOLE.AUXCMDS";
inline constexpr std::string_view kEventControlProgId = "ACTEVENTLib.ActEvent";

// The event control's members. Attach(Long 0) links the control to ACT! and answers 1, or 0 when
// ACT! has no database open or cannot be reached; Detach() unlinks it (its holder calls it before
// unloading); ActAvailable() tells whether ACT! runs with a database open, so that a failed
// Attach with ActAvailable true means ACT! cannot be talked to. Only linked controls receive
// events; events have the dispatch identifier of their position.
namespace actevent {
inline constexpr DispId kAttach = 1;
inline constexpr DispId kDetach = 2;
inline constexpr DispId kActAvailable = 3;
}  // namespace actevent

// Registers the four ProgIDs above; the objects refer to act, which should outlive them (calls
// on an object that outlived it fail as disconnected).
void registerActClasses(sim::SimAutomation& automation, ActSim& act);

// One event control, as a form hosting ActEvent1 gets it.
std::shared_ptr<sim::SimDispatch> makeEventControl(ActSim& act);

}  // namespace morvane::hostsim

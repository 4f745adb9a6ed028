// The stand-in's COM side: ACT!'s automation objects and event control served to other processes
// (standin_classes.h names the classes), and their registration.
//
// Each object handed out is one of the stand-in's hostsim objects behind a counting decorator, so
// that every GetIDsOfNames and Invoke reaching it is counted, and objects it returns are handed out
// the same way. While ACT! closes, disconnect() revokes the class objects and cuts every object
// handed out off from its clients (CoDisconnectObject): their next calls fail at once.
//
// In a server COM started (a LocalServer that ends when unused), a creation the classes refuse
// while no object is out ends the server: it was started for nothing else.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "hostwin/act_standin.h"
#include "platform/win32/com/com_server.h"

namespace morvane::hostwin {

class StandInComServer : public AutomationServer {
 public:
  // Registers the class objects of the stand-in's classes, made by classes (hostsim's ACT! classes
  // on the stand-in's ActSim), which must outlive this. Throws an automation error when COM refuses
  // a class.
  explicit StandInComServer(sim::SimAutomation& classes);
  // Disconnects, if ACT! has not closed yet.
  ~StandInComServer() override;

  void disconnect() override;
  uint64_t callsServed() const override;
  void resetCalls() override;

  // What is shared with the objects handed out, which may outlive the server.
  struct Ledger;

 private:
  std::shared_ptr<Ledger> m_ledger;
  std::vector<std::unique_ptr<win32::ClassObjectRegistration>> m_registrations;
};

// /regserver and /unregserver: the stand-in's classes, served by the program at exePath.
void registerStandInClasses(std::string_view exePath);
void unregisterStandInClasses();

}  // namespace morvane::hostwin

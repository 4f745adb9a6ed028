// frmStartup: Morvane's never-shown start-up form. Loading it is the whole start of the program:
// it refuses a second copy, checks that ACT! can be reached, and then opens the rule editor or,
// in Stealth Mode, starts MorvaneAuto and ends.
#pragma once

#include <cstdint>

#include "platform/automation.h"

namespace morvane {

class MorvaneProgram;

class frmStartup {
 public:
  explicit frmStartup(MorvaneProgram& program) : m_program(program) {}
  frmStartup(const frmStartup&) = delete;
  frmStartup& operator=(const frmStartup&) = delete;

  ObjectRef ActEvent1;
  int32_t AttachResult = 0;

  // The start-up. An error while ACT! is reached and attached to is not handled here: it goes to
  // the caller, which reports it as the runtime does and ends the program.
  void Form_Load();

 private:
  void Unload();

  MorvaneProgram& m_program;
};

}  // namespace morvane

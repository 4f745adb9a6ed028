// Scenarios: a small line language that drives the simulated world, and the readable transcript
// of what happens. The language is described in README.md.
#pragma once

#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>

#include "platform/ui.h"
#include "simulator/sim_world.h"

namespace morvane::simulator {

class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ScenarioPlayer {
 public:
  ScenarioPlayer(SimWorld& world, std::ostream& out);
  ~ScenarioPlayer();
  ScenarioPlayer(const ScenarioPlayer&) = delete;
  ScenarioPlayer& operator=(const ScenarioPlayer&) = delete;

  // Plays one line; throws ScenarioError for a line the language does not know.
  void step(const std::string& line);
  // Plays every line; on a bad line prints "line N: ..." and returns false.
  bool play(std::istream& in);

 private:
  void actStep(const std::vector<std::string>& words, const std::string& rest);
  void editorStep(const std::vector<std::string>& words, const std::string& line);
  // A dialog block: "editor settings" or "editor integrate", its steps, then "end". The steps
  // are the user's inside the dialog's modal loop, once the menu has opened it.
  void openDialog();
  void dialogStep(ui::Form& dialog, const std::string& line);
  std::string dialogState(ui::Form& dialog) const;
  void reportChanges(bool showAct);
  std::string actState() const;
  std::string trayState() const;
  std::string timerState() const;
  std::string editorState() const;

  SimWorld& m_world;
  std::ostream& m_out;
  std::string m_lastAct;
  std::string m_lastTray;
  std::string m_lastTimer;
  std::string m_lastEditor;
  std::string m_dialog;  // "settings" or "integrate" while a block is read; "" otherwise
  std::vector<std::string> m_dialogSteps;
  size_t m_shellCallsSeen = 0;
  size_t m_morvaneStartsSeen = 0;
};

// The built-in tour that morvane-sim plays with no scenario file.
const char* builtInTour();

// The whole transcript of a scenario text played on a fresh world.
std::string playScenario(const std::string& scenario, bool* ok = nullptr);

// One SelectLayout on a fresh simulated ACT!, told with every call it makes on ACT!'s windows;
// ok tells whether the selection succeeded.
std::string playSelection(const std::string& layout, bool* ok = nullptr);

}  // namespace morvane::simulator

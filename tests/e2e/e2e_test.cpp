// End-to-end scenarios: each scenario file is played on a fresh simulated world and its
// transcript compared with the expected one beside it. MORVANE_UPDATE_GOLDEN=1 rewrites the
// expected files (review the diff before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "simulator/scenario.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

const fs::path kScenarios = fs::path(MORVANE_E2E_DIR) / "scenarios";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void checkAgainst(const std::string& transcript, const fs::path& expectedFile) {
  if (std::getenv("MORVANE_UPDATE_GOLDEN")) {
    std::ofstream(expectedFile, std::ios::binary) << transcript;
    return;
  }
  ASSERT_TRUE(fs::exists(expectedFile)) << expectedFile;
  EXPECT_EQ(transcript, readFile(expectedFile)) << "transcript of " << expectedFile.stem();
}

void checkTranscript(const std::string& scenario, const fs::path& expectedFile) {
  bool ok = false;
  const std::string transcript = simulator::playScenario(scenario, &ok);
  EXPECT_TRUE(ok) << transcript;
  checkAgainst(transcript, expectedFile);
}

TEST(EndToEnd, ScenarioFilesGiveTheirTranscripts) {
  int played = 0;
  for (const auto& entry : fs::directory_iterator(kScenarios)) {
    if (entry.path().extension() != ".scn") continue;
    SCOPED_TRACE(entry.path().filename().string());
    fs::path expected = entry.path();
    expected.replace_extension(".expected");
    checkTranscript(readFile(entry.path()), expected);
    ++played;
  }
  EXPECT_GE(played, 3);
}

TEST(EndToEnd, BuiltInTourSwitchesLayouts) {
  checkTranscript(simulator::builtInTour(), kScenarios / "tour.expected");
  const std::string transcript = simulator::playScenario(simulator::builtInTour());
  for (const char* layout : {"\"Client\"", "\"Prospect Layout\"", "\"Vendor Layout\"",
                             "\"Group Layout\"", "\"Standard\""})
    EXPECT_NE(transcript.find(std::string("layout ") + layout), std::string::npos) << layout;
}

TEST(EndToEnd, SelectionShowsEveryCallOnActsWindows) {
  // What morvane-sim --select prints: a selection that succeeds, and one with an empty name.
  bool selected = false, emptySelected = true;
  const std::string transcript = simulator::playSelection("Client", &selected) + "\n" +
                                 simulator::playSelection("", &emptySelected);
  EXPECT_TRUE(selected);
  EXPECT_FALSE(emptySelected);
  checkAgainst(transcript, kScenarios / "select.expected");
}

TEST(EndToEnd, BadScenarioLineIsReportedWithItsNumber) {
  bool ok = true;
  const std::string transcript = simulator::playScenario("act start\nact dance\n", &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(transcript.find("line 2: unknown ACT! step: act dance"), std::string::npos)
      << transcript;
}

}  // namespace
}  // namespace morvane

// One rules-file lookup as the switcher makes it at every update: GetKeyValue on a rules file of
// 5,000 keys, the file read from disk afresh by each call.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/sim/sim_files.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/sim/sim_profile_files.h"
#include "shared/settings/IniLib.h"

namespace morvane {
namespace {

constexpr int kKeys = 5000;
constexpr const char* kRules = "C:\\ACT\\Morvane.ini";

class RulesFileFixture {
 public:
  RulesFileFixture() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "morvane-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) m_root = pattern;
    m_files = std::make_unique<sim::SimFileSystem>(m_root);
    m_files->createDirectory("C:\\ACT");
    // Another database's rules first, then the section looked up, as a grown file looks.
    std::string text = "[Archive-Contact]\r\n_Reference_Field_=3\r\n";
    for (int i = 0; i < kKeys / 2; ++i) {
      text += "Old value " + std::to_string(i) + "=Layout " + std::to_string(i % 40) + "\r\n";
    }
    text += "[Sales-Contact]\r\n_Reference_Field_=12\r\nIf no layout assigned=Standard\r\n";
    for (int i = 0; i < kKeys / 2; ++i) {
      text += "Value " + std::to_string(i) + "=Layout " + std::to_string(i % 40) + "\r\n";
    }
    m_files->writeFile(kRules, text);
    m_profiles = std::make_unique<sim::SimProfileFiles>(*m_files);
    m_trap = std::make_unique<ErrorTrap>(m_boxes, "MorvaneAuto");
    m_ini = std::make_unique<IniLib>(*m_profiles, *m_trap);
    m_ini->RulesFilePath = kRules;
  }
  ~RulesFileFixture() {
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }
  IniLib& ini() { return *m_ini; }

 private:
  std::filesystem::path m_root;
  sim::SimMessageBoxes m_boxes;
  std::unique_ptr<sim::SimFileSystem> m_files;
  std::unique_ptr<sim::SimProfileFiles> m_profiles;
  std::unique_ptr<ErrorTrap> m_trap;
  std::unique_ptr<IniLib> m_ini;
};

// The last key of the file: the whole file is scanned.
void BM_GetKeyValue_LastOf5000Keys(benchmark::State& state) {
  RulesFileFixture fixture;
  const std::string key = "value " + std::to_string(kKeys / 2 - 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(fixture.ini().GetKeyValue("sales-contact", key, "Standard"));
  }
}
BENCHMARK(BM_GetKeyValue_LastOf5000Keys);

// A value without a key: the default comes back after the section's end.
void BM_GetKeyValue_MissingKeyOf5000Keys(benchmark::State& state) {
  RulesFileFixture fixture;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        fixture.ini().GetKeyValue("Sales-Contact", "No such value", "Standard"));
  }
}
BENCHMARK(BM_GetKeyValue_MissingKeyOf5000Keys);

}  // namespace
}  // namespace morvane

BENCHMARK_MAIN();

// Choosing and listing ACT!'s layouts as the programs do on Windows: modLayout on user32 from this
// process against the stand-in's windows in another, with the outcome read in the stand-in.
#include <string>
#include <vector>

#include "hostsim/act_sim.h"
#include "hostwin/standin_client.h"
#include "platform/counting_window_system.h"
#include "platform/error_trap.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/win32/win32_window_system.h"
#include "shared/act/modLayout.h"

#include <gtest/gtest.h>

namespace morvane::hostwin {
namespace {

using protocol::Result;

class LayoutsThroughWindows : public ::testing::Test {
 protected:
  win32::Win32WindowSystem user32;
  CountingWindowSystem windows{user32};
  sim::SimMessageBoxes boxes;
  ErrorTrap trap{boxes, "Morvane"};
  modLayout layouts{windows, trap};
};

TEST_F(LayoutsThroughWindows, SelectLayoutAppliesTheWholeNameTheListFinds) {
  StandInProcess act;
  EXPECT_EQ(layouts.SelectLayout("Client"), "");
  // State is read after the keys SelectLayout posted have been handled.
  StandInState state = act.state();
  EXPECT_EQ(state.layout, "Client");
  EXPECT_EQ(state.applied, std::vector<std::string>{"Client"});
  EXPECT_EQ(act.frameTitle(), "ACT! - Client");

  EXPECT_EQ(layouts.SelectLayout("vendor LAYOUT"), "");
  // ACT! takes the posted keys before the next search's clicks, as it would before the next
  // record change: a search right behind them could reopen the list between the two keys.
  act.state();
  EXPECT_EQ(layouts.SelectLayout("Vendor"), "Layout 'Vendor' does not seem to exist!");
  state = act.state();
  EXPECT_EQ(state.applied, (std::vector<std::string>{"Client", "Vendor Layout"}));
  EXPECT_EQ(state.layout, "Vendor Layout");
  EXPECT_EQ(act.frameTitle(), "ACT! - Vendor Layout");

  ASSERT_TRUE(act.stop());
  EXPECT_EQ(layouts.SelectLayout("Client"), "ACT is not running!");
  EXPECT_TRUE(boxes.shown().empty());
}

// ACT! busy on the name search for longer than a message may take (10 seconds): SelectLayout gives
// up on it and reports the failed selection while ACT! still hangs, having posted nothing, and ACT!
// applies nothing when it wakes up.
TEST_F(LayoutsThroughWindows, SelectLayoutWhileActHangsOnTheSearchFailsAndChangesNothing) {
  StandInProcess act;
  ASSERT_EQ(act.command("hang-on-search 15000").result, Result::Done);
  windows.reset();
  EXPECT_EQ(layouts.SelectLayout("Client"), "Error Setting Layout 'Client' !");
  DWORD_PTR ignored = 0;
  EXPECT_EQ(SendMessageTimeoutA(act.frame(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored), 0)
      << "ACT! should still hang";
  EXPECT_EQ(windows.sent(LB_SETCURSEL), 0u);
  EXPECT_EQ(windows.messagesPosted(), 0u);

  act.wake();  // instead of sleeping out the rest of the hang
  const StandInState state = act.state();
  EXPECT_EQ(state.layout, "Standard");
  EXPECT_TRUE(state.applied.empty());
  EXPECT_EQ(act.frameTitle(), "ACT! - Standard");
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(LayoutsThroughWindows, EnumLayoutsReadsTheListInOrderInTheAnsiCodePage) {
  StandInProcess act;
  EXPECT_EQ(layouts.EnumLayouts(), hostsim::sampleLayouts());

  const std::string defaut =
      "D\xE9"
      "faut";  // Windows-1252
  ASSERT_EQ(act.command("layouts " + defaut + "|Standard|Client").result, Result::Done);
  EXPECT_EQ(layouts.EnumLayouts(), (std::vector<std::string>{defaut, "Standard", "Client"}));
  EXPECT_EQ(layouts.SelectLayout(defaut), "");
  EXPECT_EQ(act.state().applied, std::vector<std::string>{defaut});
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(LayoutsThroughWindows, WorksInAThousandWindowTree) {
  StandInProcess act("/fillers 993");
  act.resetCounters();
  windows.reset();
  EXPECT_EQ(layouts.SelectLayout("Prospect Layout"), "");
  const StandInCounters counters = act.counters();
  EXPECT_EQ(act.state().applied, std::vector<std::string>{"Prospect Layout"});
  // What crossed into ACT!: at least every message SendMessage carried (the system adds its own,
  // a window move's for one), and exactly the two Enter keys posted.
  EXPECT_GE(counters.sent, windows.messagesSent());
  EXPECT_EQ(windows.messagesPosted(), 2u);
  EXPECT_EQ(counters.posted, windows.messagesPosted());
  EXPECT_EQ(counters.automationCalls, 0u);
  RecordProperty("sent", std::to_string(counters.sent));
  RecordProperty("posted", std::to_string(counters.posted));
  RecordProperty("client_sends", std::to_string(windows.messagesSent()));

  EXPECT_EQ(layouts.EnumLayouts(), hostsim::sampleLayouts());
  EXPECT_TRUE(boxes.shown().empty());
}

}  // namespace
}  // namespace morvane::hostwin

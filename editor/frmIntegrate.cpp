#include "editor/frmIntegrate.h"

#include "editor/morvane_program.h"
#include "platform/conversions.h"

namespace morvane {

namespace {

constexpr std::string_view kAuxCmdsProgId = "ACTOLE.AUXCMDS";
// The Tools-menu boxes follow the six toolbar boxes.
constexpr int kMenuBoxes = clsFrmIntegrate::kViews;

}  // namespace

std::vector<std::string> integrationTexts(int16_t language) {
  std::vector<std::string> t(clsFrmIntegrate::kTexts);
  const std::string address(kSupportAddress);
  if (language == 0) {
    t[0] = supportLineText();
    t[1] = "Click to launch ";
    t[2] = "You need to re-start ACT! for the changes to take effect!";
    t[3] = "Do you want to re-start it now?";
    t[4] = "Can't add icon or menu item automatically. You will need to proceed manually.";
    t[5] = "Integrate with ACT!";
    t[6] = "Contacts";
    t[7] = "Contact List";
    t[8] = "Groups";
    t[9] = "Task List";
    t[10] = "Calendars";
    t[11] = "E-mail";
    t[12] = "Toolbar Button added to the following Views :";
    t[13] = "Menu Item added to the following Views :";
    t[14] = "&Close";
    t[15] = "&Cancel";
    t[16] = "You will need to re-start ACT! to see the changes.";
  } else if (language == 1) {
    // Windows-1252: \xE0 a grave, \xE2 a circumflex, \xE9 e acute, \xF4 o circumflex.
    t[0] = "S.V.P. contactez " + address + " avec ce message.";
    t[1] = "Cliquez pour lancer ";
    t[2] = "Vous devez red\xE9marrer ACT! pour que les changements soient pris en compte!";
    t[3] = "Voulez-vous red\xE9marrez ACT! maintenant?";
    t[4] =
        "Impossible d'ajouter l'ic\xF4ne ou l'entr\xE9"
        "e du menu. Vous devrez le faire manuellement.";
    t[5] = "Int\xE9gration \xE0 ACT!";
    t[6] = "Contacts";
    t[7] = "Liste des contacts";
    t[8] = "Groupes";
    t[9] =
        "Liste des t\xE2"
        "ches";
    t[10] = "Agendas";
    t[11] = "E-mail";
    t[12] =
        "Bouton ajout\xE9 \xE0 la barre d'outils des \xE9"
        "crans suivants : ";
    t[13] =
        "Entr\xE9"
        "e ajout\xE9"
        "e au menu Outils des \xE9"
        "crans suivants :";
    t[14] = "&Fermer";
    t[15] = "&Annuler";
    t[16] = "Vous devrez red\xE9marrer ACT! pour que les changements soient pris en compte.";
  }
  return t;
}

clsFrmIntegrate::clsFrmIntegrate(MorvaneProgram& program)
    : ui::Form(program.ui, "frmIntegrate"),
      m_program(program),
      m_trap(
          program.platform.boxes, [this] { return AppName; },
          [this] { return Texts.empty() ? supportLineText() : Texts[0]; }) {
  setCaption("Integrate with ACT!");
  clientWidth = 7020;
  clientHeight = 3240;
  borderStyle = ui::BorderStyle::FixedDialog;
  centred = true;
  showInTaskbar = false;
  placeControls();
  for (int i = 0; i < 2 * kViews; ++i) {
    chkScreen[i].onClick = [this, i] { chkScreen_Click(i); };
    lblScreen[i].onClick = [this, i] { lblScreen_Click(i); };
  }
  cmdOK.onClick = [this] { cmdOK_Click(); };
  cmdCancel.onClick = [this] { cmdCancel_Click(); };
}

clsFrmIntegrate::~clsFrmIntegrate() = default;

void clsFrmIntegrate::placeControls() {
  static const char* const kViewNames[kViews] = {"Contacts",  "Contact List", "Groups",
                                                 "Task List", "Calendars",    "E-mail"};
  Frame1.emplace_back("Frame1(0)");
  Frame1.emplace_back("Frame1(1)");
  Frame1[0].setBox({315, 240, 5115, 1185});
  Frame1[0].setText("Toolbar Button added to the following Views :");
  Frame1[1].setBox({315, 1575, 5130, 1185});
  Frame1[1].setText("Menu Item added to the following Views :");
  add(Frame1[0]);
  add(Frame1[1]);

  // Views 1 to 3 on the first row, 4 to 6 on the second; the toolbar frame's third column sits
  // 30 twips further left and higher.
  constexpr int32_t kBoxLeft[3] = {210, 1815, 3630};
  constexpr int32_t kLabelLeft[3] = {495, 2100, 3900};
  constexpr int32_t kLabelWidth[3] = {1305, 1500, 1140};
  constexpr int32_t kRowTop[2] = {345, 690};
  for (int i = 0; i < 2 * kViews; ++i) {
    const int frame = i < kMenuBoxes ? 0 : 1;
    const int view = i % kViews;  // 0 to 5
    const int column = view % 3;
    const int row = view / 3;
    const bool shifted = frame == 0 && column == 2;
    const int32_t boxLeft = kBoxLeft[column] - (shifted ? 30 : 0);
    const int32_t boxTop = kRowTop[row] - (shifted ? 30 : 0);
    const int32_t labelLeft = kLabelLeft[column] - (shifted ? 30 : 0);
    const std::string index = std::string("(").append(std::to_string(i)).append(")");

    ui::CheckBox& box = chkScreen.emplace_back("chkScreen" + index);
    box.setContainer(Frame1[frame]);
    box.setBox({boxLeft, boxTop, 255, 255});
    box.setTabIndex(i);
    ui::Label& label = lblScreen.emplace_back("lblScreen" + index);
    label.setContainer(Frame1[frame]);
    label.setBox({labelLeft, boxTop + 30, kLabelWidth[column], 270});
    label.setText(kViewNames[view]);
    add(box);
    add(label);
  }
  lblRestart.setBox({495, 2850, 5670, 315});
  lblRestart.setText("You will need to re-start ACT! to see the changes.");
  cmdOK.setBox({5820, 360, 1000, 325});
  cmdOK.setText("&Close");
  cmdOK.isDefault = true;
  cmdOK.setTabIndex(2 * kViews);
  cmdCancel.setBox({5820, 840, 1000, 325});
  cmdCancel.setText("&Cancel");
  cmdCancel.isCancel = true;
  cmdCancel.setTabIndex(2 * kViews + 1);
  add(lblRestart);
  add(cmdOK);
  add(cmdCancel);
}

std::string clsFrmIntegrate::place(const char* procedure) const {
  return std::string("in frmIntegrate: Sub ") + procedure;
}

bool clsFrmIntegrate::viewEnabled(int view) const {
  switch (view) {
    case 1:
      return ContactScreen;
    case 2:
      return ContactListScreen;
    case 3:
      return GroupScreen;
    case 4:
      return TaskListScreen;
    case 5:
      return CalendarsScreen;
    default:
      return EmailScreen;
  }
}

void clsFrmIntegrate::SetLanguage() {
  Texts.assign(kTexts, std::string());
  if (Language == 0 || Language == 1) Texts = integrationTexts(Language);
}

void clsFrmIntegrate::Form_Load() {
  m_loading = true;
  m_trap.run(place("Form_Load"), [&](int& line) {
    line = 1;
    SetLanguage();
    line = 2;
    AuxCmds = m_program.platform.automation.createObject(kAuxCmdsProgId);
    line = 3;
    for (int v = 1; v <= kViews; ++v) {
      chkScreen[v - 1].setEnabled(viewEnabled(v));
      chkScreen[kMenuBoxes + v - 1].setEnabled(viewEnabled(v));
    }
    line = 4;
    for (int v = 1; v <= kViews; ++v) {
      chkScreen[v - 1].setValue(
          conv::toInteger(callMethod(AuxCmds, "AuxCommandExistsInToolbar",
                                     {Variant(static_cast<int16_t>(v)), Variant(AppName)})));
      lblScreen[v - 1].setText(Texts[v + 5]);
    }
    line = 5;
    for (int v = 1; v <= kViews; ++v) {
      chkScreen[kMenuBoxes + v - 1].setValue(
          conv::toInteger(callMethod(AuxCmds, "AuxCommandExistsInToolsMenu",
                                     {Variant(static_cast<int16_t>(v)), Variant(AppName)})));
      lblScreen[kMenuBoxes + v - 1].setText(Texts[v + 5]);
    }
    line = 6;
    Frame1[0].setText(Texts[12]);
    Frame1[1].setText(Texts[13]);
    line = 7;
    Changed = false;
    line = 8;
    setCaption(Texts[5]);
    cmdOK.setText(Texts[14]);
    cmdCancel.setText(Texts[15]);
    lblRestart.setText(Texts[16]);
    line = 9;
    setIcon(IntegrateIcon);
  });
  m_loading = false;
}

void clsFrmIntegrate::chkScreen_Click(int index) {
  if (m_loading) return;
  m_trap.run(place("chkScreen_Click"), [&](int& line) {
    line = 2;
    if (conv::toLong(callMethod(AuxCmds, "AuxCommandExists", {Variant(AppName)})) == 0)
      CheckCommand();
    line = 3;
    const bool toolbar = index < kMenuBoxes;
    const auto view = static_cast<int16_t>(toolbar ? index + 1 : index - kMenuBoxes + 1);
    const bool remove = chkScreen[index].value() == 0;
    const char* member =
        toolbar ? (remove ? "RemoveAuxCommandFromToolbar" : "AddAuxCommandToToolbar")
                : (remove ? "RemoveAuxCommandFromToolsMenu" : "AddAuxCommandToToolsMenu");
    line = 4;
    LastResult = conv::toLong(callMethod(AuxCmds, member, {Variant(view), Variant(AppName)}));
    // Only a change that reached ACT! needs ACT! restarted to show; a call that failed on the
    // way (no command object, ACT! gone) changed nothing.
    Changed = true;
  });
}

void clsFrmIntegrate::lblScreen_Click(int index) {
  m_trap.run(place("lblScreen_Click"), [&](int& line) {
    line = 1;
    // The box's change raises its Click, which is handled as the user's tick.
    ui::CheckBox& box = chkScreen[index];
    box.setValue(box.value() == 1 ? 0 : 1);
  });
}

void clsFrmIntegrate::CheckCommand() {
  m_trap.run(place("CheckCommand"), [&](int& line) {
    line = 1;
    const std::string folder = m_program.platform.host.programFolder();
    const std::string base = folder + "\\" + m_program.platform.host.exeName();
    LastResult = conv::toLong(
        callMethod(AuxCmds, "AddAuxCommand",
                   {Variant(AppName), Variant(base + ".EXE"), Variant(folder), Variant(AppName),
                    Variant(Texts[1] + AppName), Variant(base + ".ico"), Variant(base + "32.ico"),
                    Variant(int16_t{1})}));
    line = 2;
    if (LastResult != 0) MessAddFailed();
  });
}

void clsFrmIntegrate::MessAddFailed() {
  m_trap.run(place("MessAddFailed"), [&](int& line) {
    line = 1;
    m_program.platform.boxes.show(Texts[4], AppName, MsgButtons::Ok, MsgIcon::None);
  });
}

void clsFrmIntegrate::cmdOK_Click() {
  m_trap.run(place("cmdOK_Click"), [&](int& line) {
    line = 1;
    if (Changed) {
      if (LastResult != 0)
        MessAddFailed();
      else
        Message();
    }
    line = 2;
    unload();
  });
}

void clsFrmIntegrate::Message() {
  m_trap.run(place("Message"), [&](int& line) {
    line = 1;
    Answer = m_program.platform.boxes.show(Texts[2] + "\r\n" + Texts[3], AppName, MsgButtons::YesNo,
                                           MsgIcon::None);
    line = 2;
    Form_Load();
    line = 3;
    if (Answer == MsgResult::Yes) {
      m_program.RestartACT = true;
      hide();
      int16_t cancel = 0;
      m_program.main.Form_Unload(cancel);
      // The editor stayed to keep rules that could not be written: ACT! was not restarted.
      if (cancel != 0) m_program.RestartACT = false;
      unload();
    }
  });
}

void clsFrmIntegrate::cmdCancel_Click() {
  m_trap.run(place("cmdCancel_Click"), [&](int& line) {
    line = 1;
    unload();
  });
}

void clsFrmIntegrate::Form_Unload(int16_t&) {
  m_trap.run(place("Form_Unload"), [&](int& line) {
    line = 1;
    AuxCmds.reset();
  });
}

}  // namespace morvane

#include "editor/frmLocations.h"

#include "editor/morvane_program.h"
#include "platform/ansi_text.h"
#include "platform/conversions.h"
#include "platform/win_constants.h"
#include "shared/settings/settings_keys.h"

namespace morvane {

namespace {

constexpr std::string_view kMacroFile = "\\Morvane.mpr";
constexpr std::string_view kFilter = "ini Files (*.ini)|*.ini";
// A file of one line holding a single space: a rules file with nothing in it yet.
constexpr std::string_view kBlankFile = " \r\n";

// The part of a path before its last "\" (empty when it has none), and the part after it.
std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
std::string nameOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

frmLocations::frmLocations(MorvaneProgram& program)
    : ui::Form(program.ui, "frmLocations"), m_program(program) {
  setCaption("Settings");
  clientWidth = 7335;
  clientHeight = 7740;
  borderStyle = ui::BorderStyle::FixedDialog;
  centred = true;
  showInTaskbar = false;
  placeControls();
  cmdBrowse.onClick = [this] { cmdBrowse_Click(); };
  cmdCopy.onClick = [this] { cmdCopy_Click(); };
  cmdMacro.onClick = [this] { cmdMacro_Click(); };
  cmdOK.onClick = [this] { cmdOK_Click(); };
  cmdCancel.onClick = [this] { cmdCancel_Click(); };
}

void frmLocations::placeControls() {
  struct Place {
    ui::Control& control;
    ui::Frame* frame;
    ui::Box box;
    const char* text;
    int32_t tabIndex;
  };
  const Place places[] = {
      {fraSettingsFileLocation, nullptr, {135, 210, 5775, 3510}, "Settings file:", -1},
      {Label1, &fraSettingsFileLocation, {240, 450, 3990, 255}, "Current location:", -1},
      {txtPath, &fraSettingsFileLocation, {240, 720, 4920, 315}, "", 0},
      {cmdBrowse,
       &fraSettingsFileLocation,
       {270, 1185, 2325, 325},
       "Select another Settings file",
       1},
      {cmdCopy, &fraSettingsFileLocation, {2835, 1185, 2325, 325}, "Copy to another location", 2},
      {lblNetwork,
       &fraSettingsFileLocation,
       {255, 1830, 4125, 285},
       "Network use: sharing your settings",
       -1},
      {lblExpl1,
       &fraSettingsFileLocation,
       {255, 2205, 5385, 435},
       "Use 'Select another Settings file' to pick a different Settings file than the default "
       "one.",
       -1},
      {lblExpl,
       &fraSettingsFileLocation,
       {255, 2835, 5130, 450},
       "Use 'Copy to another location' to copy your Settings file to a new location that can be "
       "accessed by all workstations.",
       -1},
      {fraDelay, nullptr, {150, 3900, 5775, 2025}, "Delay:", -1},
      {lblExpla,
       &fraDelay,
       {240, 315, 5295, 750},
       "In certain occasions (when launching the program, when switching from Contact List view "
       "to Contacts view), there is a slight delay before the layout is adjusted. You may adjust "
       "this delay here. ",
       -1},
      {lblDelay, &fraDelay, {225, 1110, 2925, 285}, "Delay in ms:", -1},
      {txtDelay, &fraDelay, {1185, 1050, 585, 315}, "1000", 3},
      {lblNote,
       &fraDelay,
       {240, 1575, 5265, 285},
       "Note: adjusting the delay below 500 ms may result in strange behaviours.",
       -1},
      {fraStartup, nullptr, {150, 6030, 5775, 1485}, "Startup macro:", -1},
      {lblMacro,
       &fraStartup,
       {180, 300, 5415, 630},
       "To make Morvane start automatically when ACT! starts, you need to define the Morvane "
       "macro as your startup macro. Click the button to install the macro. To uninstall, see "
       "the user's manual.",
       -1},
      {cmdMacro, &fraStartup, {2160, 1035, 1455, 325}, "Install Macro", 4},
      {cmdOK, nullptr, {6165, 375, 960, 345}, "&OK", 5},
      {cmdCancel, nullptr, {6180, 810, 960, 345}, "Cancel", 6},
  };
  for (const Place& p : places) {
    if (p.frame != nullptr) p.control.setContainer(*p.frame);
    p.control.setBox(p.box);
    p.control.setTabIndex(p.tabIndex);
    static_cast<ui::TextControl&>(p.control).setText(p.text);
    add(p.control);
  }
  ui::Font bold = lblNetwork.font();
  bold.bold = true;
  lblNetwork.setFont(bold);
  cmdOK.isDefault = true;
  cmdCancel.isCancel = true;
}

std::string frmLocations::macroPath() const {
  return m_program.platform.host.programFolder() + std::string(kMacroFile);
}

void frmLocations::Form_Load() {
  CheckMacro();
}

void frmLocations::CheckMacro() {
  const ObjectRef preferences = asObject(getProperty(m_program.module1.ActApp, "Preferences"));
  const std::string installed = conv::toString(getProperty(preferences, "StartupMacro"));
  // Exact text, letter case included.
  const bool same = installed == macroPath();
  cmdMacro.setEnabled(!same);
  cmdMacro.setText(same ? "Macro Installed" : "Install macro");
}

void frmLocations::cmdMacro_Click() {
  const ObjectRef preferences = asObject(getProperty(m_program.module1.ActApp, "Preferences"));
  putProperty(preferences, "StartupMacro", Variant(macroPath()));
  CheckMacro();
}

void frmLocations::Form_Activate() {
  IniLib& ini = m_program.iniLib;
  OldPath = ini.RulesFilePath;
  NewPath = OldPath;
  txtPath.setText(NewPath);
  Files& files = m_program.platform.files;
  // A missing rules file is made empty, so that OK takes it at once. Where it cannot be made (its
  // folder out of reach, an offline share) the dialog opens all the same: the user chooses
  // another file, and OK refuses one that is not there.
  if (!files.fileExists(ini.RulesFilePath)) files.writeFile(ini.RulesFilePath, "");
  txtDelay.setText(settings::readDelayText(m_program.platform.settings));
  ForceTextBoxNumeric(txtDelay, true);
}

void frmLocations::ForceTextBoxNumeric(ui::TextBox& box, bool force) {
  WindowSystem& windows = m_program.platform.windows;
  const auto style = static_cast<uint32_t>(windows.getWindowLongA(box.hWnd(), win::GWL_STYLE));
  const uint32_t changed = force ? (style | win::ES_NUMBER) : (style & ~win::ES_NUMBER);
  windows.setWindowLongA(box.hWnd(), win::GWL_STYLE, static_cast<int32_t>(changed));
}

std::optional<std::string> frmLocations::chooseFile(bool save) {
  const std::string current = txtPath.text();
  const std::string folder = folderOf(current);
  ui::FileDialogRequest request{save, std::string(kFilter), {}, {}};
  if (!folder.empty() && m_program.platform.files.folderExists(folder)) {
    request.initialFolder = folder;
    request.fileName = nameOf(current);
  } else {
    request.initialFolder = m_program.platform.host.programFolder();
  }
  return m_program.ui.showFileDialog(*this, request);
}

void frmLocations::cmdBrowse_Click() {
  // From the file dialog on, a cancel or any failure ends the operation without a word.
  try {
    const auto chosen = chooseFile(false);
    if (!chosen) return;
    NewPath = *chosen;
    if (NewPath != txtPath.text()) {
      txtPath.setText(NewPath);
      m_program.platform.boxes.show(
          "You will need to re-start Morvane for the changes to take "
          "effect.",
          MorvaneProgram::kTitle, MsgButtons::Ok, MsgIcon::Exclamation);
    }
  } catch (const RuntimeError&) {
  }
}

void frmLocations::cmdCopy_Click() {
  Files& files = m_program.platform.files;
  const std::string currentFolder = folderOf(txtPath.text());
  try {
    const auto chosen = chooseFile(true);
    if (!chosen) return;
    // The chosen path becomes the dialog's only once the copy is there.
    const std::string target = *chosen;
    const std::string newFolder = folderOf(target);
    const std::string current = txtPath.text();
    if (files.fileExists(current)) {
      if (files.fileExists(target) &&
          m_program.platform.boxes.show("This location already contains a Morvane settings "
                                        "file. Do you want to overwrite it?",
                                        MorvaneProgram::kTitle, MsgButtons::YesNo,
                                        MsgIcon::Exclamation, MsgDefault::Second) == MsgResult::No)
        return;
      // Nothing is copied onto itself; Windows names a file without regard to letter case.
      if (!ansi::equalsNoCase(target, current)) {
        if (!files.copyFile(current, target)) return;
        // The rules file's companions: the current folder's files whose names begin with "~",
        // unless they are in that folder already.
        if (!ansi::equalsNoCase(newFolder, currentFolder)) {
          for (const std::string& name : files.fileNames(currentFolder)) {
            if (!name.starts_with('~')) continue;
            if (!files.copyFile(currentFolder + "\\" + name, newFolder + "\\" + name)) return;
          }
        }
      }
    } else if (!files.writeFile(target, kBlankFile)) {
      return;
    }
    NewPath = target;
    txtPath.setText(NewPath);
  } catch (const RuntimeError&) {
  }
}

void frmLocations::cmdOK_Click() {
  auto& platform = m_program.platform;
  m_program.trap.run("in frmLocations: Sub cmdOK_Click", [&](int& line) {
    line = 1;
    // What the dialog shows is what is stored: the file a button chose, or a path typed by hand.
    NewPath = txtPath.text();
    if (!platform.files.fileExists(NewPath)) {
      platform.boxes.show("Invalid file specified!", MorvaneProgram::kTitle, MsgButtons::Ok,
                          MsgIcon::None);
      return;
    }
    line = 2;
    // "IniLocation", then "IniFolder": the path up to and including its last "\".
    settings::saveIniLocation(platform.settings, NewPath);
    line = 3;
    settings::saveDelayText(platform.settings, txtDelay.text());
    line = 4;
    if (NewPath != OldPath) m_program.iniLib.RulesFilePath = NewPath;
    line = 5;
    unload();
  });
}

void frmLocations::cmdCancel_Click() {
  unload();
}

}  // namespace morvane

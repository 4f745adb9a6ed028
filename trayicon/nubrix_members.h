// The control's automation surface as its type information describes it: the members of its
// default interface and the events of its source interface, in their order, with dispatch
// identifiers and help strings. Hosts call members by these numbers.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/automation.h"

namespace morvane::nubrix {

inline constexpr std::string_view kProgId = "NubrixControl.Nubrix";
inline constexpr std::string_view kLibraryName = "NubrixControl";
inline constexpr std::string_view kLibraryDescription = "Olund Nubrix Control";
inline constexpr std::string_view kTitle = "Nubrix Control";
inline constexpr std::string_view kInterfaceName = "_Nubrix";
inline constexpr std::string_view kEventInterfaceName = "__Nubrix";
// Library version: type library 1.1, file 1.1.0.0, shown as major.minor.revision.
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionRevision = 0;

namespace dispid {
inline constexpr DispId kShowAbout = -552;  // DISPID_ABOUTBOX
inline constexpr DispId kIcon1 = 0x68030005;
inline constexpr DispId kToolTipIcon1 = 0x68030004;
inline constexpr DispId kIcon2 = 0x68030003;
inline constexpr DispId kToolTipIcon2 = 0x68030002;
inline constexpr DispId kHWnd = -515;  // DISPID_HWND
inline constexpr DispId kIconAnimation = 0x68030001;
inline constexpr DispId kInterval = 0x68030000;
inline constexpr DispId kOsVersion = 0x6003000c;
inline constexpr DispId kAddIcon = 0x6003000d;
inline constexpr DispId kChangeIcon = 0x6003000e;
inline constexpr DispId kRefreshToolTip = 0x60030016;
inline constexpr DispId kRemoveIcon = 0x6003000f;

inline constexpr DispId kMouseOver = -606;  // DISPID_MOUSEMOVE
inline constexpr DispId kClick = -600;      // DISPID_CLICK
inline constexpr DispId kDblClick = -601;   // DISPID_DBLCLICK
inline constexpr DispId kIconAdd = 1;
inline constexpr DispId kIconRemove = 2;
inline constexpr DispId kBlink = 3;
}  // namespace dispid

// Event positions (1 up) in the source interface.
namespace event {
inline constexpr int kMouseOver = 1;
inline constexpr int kClick = 2;
inline constexpr int kDblClick = 3;
inline constexpr int kIconAdd = 4;
inline constexpr int kIconRemove = 5;
inline constexpr int kBlink = 6;
}  // namespace event

enum class MemberKind {
  Method,          // no result
  Function,        // a method with a result
  PropertyGetLet,  // read, and written by value
  PropertyGetSet,  // read, and written by reference (an object)
  PropertyGetOnly,
};
enum class ValueType { None, Picture, Text, Long, Boolean, VariantText };

struct MemberInfo {
  std::string_view name;
  MemberKind kind;
  ValueType type;
  DispId id;
  std::string_view help;  // empty: none
  bool hidden;            // hidden from property browsers
};

inline constexpr std::array<MemberInfo, 13> kMembers{{
    {"showAbout", MemberKind::Method, ValueType::None, dispid::kShowAbout, "", false},
    {"Icon1", MemberKind::PropertyGetSet, ValueType::Picture, dispid::kIcon1,
     "The first icon to be dispyed in the tray.", false},
    {"ToolTipIcon1", MemberKind::PropertyGetLet, ValueType::Text, dispid::kToolTipIcon1,
     "The first text to show when mouse is over the icon.", false},
    {"Icon2", MemberKind::PropertyGetSet, ValueType::Picture, dispid::kIcon2,
     "The second icon to be displayed in the tray.", false},
    {"ToolTipIcon2", MemberKind::PropertyGetLet, ValueType::Text, dispid::kToolTipIcon2,
     "The second text to show when mouse is over the icon.", false},
    {"hWnd", MemberKind::PropertyGetOnly, ValueType::Long, dispid::kHWnd,
     "Return the hWnd of the control used to pass the value into WinAPI.", false},
    {"IconAnimation", MemberKind::PropertyGetLet, ValueType::Boolean, dispid::kIconAnimation,
     "Activate/Disactivate Timer for icon animation in taskbar.", true},
    {"Interval", MemberKind::PropertyGetLet, ValueType::Long, dispid::kInterval,
     "Return/set the number of interval in milliseconds for icon animation.", false},
    {"OsVersion", MemberKind::Function, ValueType::VariantText, dispid::kOsVersion,
     "Get the OS Version info.", false},
    {"AddIcon", MemberKind::Method, ValueType::None, dispid::kAddIcon, "Add an icon to taskbar.",
     false},
    {"ChangeIcon", MemberKind::Method, ValueType::None, dispid::kChangeIcon,
     "Change icon displayed in the taskbar.", false},
    {"RefreshToolTip", MemberKind::Method, ValueType::None, dispid::kRefreshToolTip, "", false},
    {"RemoveIcon", MemberKind::Method, ValueType::None, dispid::kRemoveIcon,
     "Remove icon frm taskbar.", false},
}};

struct EventInfo {
  std::string_view name;
  int position;
  DispId id;
  std::string_view argument;  // the one argument's name (16-bit integer, by reference), or empty
  std::string_view help;
};

inline constexpr std::array<EventInfo, 6> kEvents{{
    {"MouseOver", event::kMouseOver, dispid::kMouseOver, "", ""},
    {"Click", event::kClick, dispid::kClick, "Button", "Click event for this control."},
    {"DblClick", event::kDblClick, dispid::kDblClick, "Button",
     "Event double click for this control."},
    {"IconAdd", event::kIconAdd, dispid::kIconAdd, "", ""},
    {"IconRemove", event::kIconRemove, dispid::kIconRemove, "", ""},
    {"Blink", event::kBlink, dispid::kBlink, "", ""},
}};

// Names under which the control saves its properties, in the order it writes and reads them.
inline constexpr std::array<std::string_view, 6> kSavedProperties{
    "Icon1", "ToolTipIcon1", "Icon2", "ToolTipIcon2", "IconAnimation", "Interval"};

}  // namespace morvane::nubrix

// The shapes of ACT!'s windows: classes, sizes, styles, control ids and texts. The simulated ACT!
// (act_windows.cpp) and the Windows stand-in (hostwin/) both build their window trees from here,
// so a search that works on one meets the same tree on the other.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win_constants.h"

namespace morvane::hostsim::shape {

inline constexpr std::string_view kFrameClass = "ACT3.0FrameClass";
inline constexpr std::string_view kViewClass = "AfxMDIFrame";  // the record view
inline constexpr std::string_view kStatusBarClass = "msctls_statusbar32";
inline constexpr std::string_view kButtonClass = "Button";
inline constexpr std::string_view kListClass = "ListBox";

// The frame's title shows the current layout.
inline constexpr std::string_view kTitlePrefix = "ACT! - ";
inline std::string frameTitle(std::string_view layout) {
  return std::string(kTitlePrefix) + std::string(layout);
}

inline constexpr int32_t kFrameWidth = 1024;
inline constexpr int32_t kFrameHeight = 740;
inline constexpr uint32_t kFrameStyle = win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE;
// The view, the status bar and the status-bar buttons.
inline constexpr uint32_t kChildStyle = win::WS_CHILD | win::WS_VISIBLE;

inline constexpr int32_t kStatusBarHeight = 26;
// Status-bar buttons: the layout button (showing the current layout) and the lookup button, with
// their left edges in status-bar client coordinates, in creation order.
inline constexpr std::array<int32_t, 2> kButtonLefts{8, 170};
inline constexpr int32_t kButtonTop = 3;
inline constexpr int32_t kButtonWidth = 150;
inline constexpr int32_t kButtonHeight = 20;
inline constexpr int32_t kFirstButtonId = 1001;
inline constexpr std::string_view kLookupButtonText = "Lookup";

// The pop-up list boxes, one per button, children of the frame, hidden until their button opens
// them; the layout list is created last. More layouts than kVisibleEntries give the layout list a
// vertical scroll bar.
inline constexpr uint32_t kPopupStyle =
    win::WS_CHILD | win::WS_BORDER | win::LBS_NOTIFY;  // 0x40800001
inline constexpr size_t kVisibleEntries = 8;
inline constexpr int32_t kItemHeight = 16;
inline constexpr std::array<std::string_view, 3> kLookupEntries{"My Record", "Current Lookup",
                                                                "All Contacts"};
inline constexpr int32_t kLookupListHeight = kItemHeight * 4;

inline constexpr uint32_t layoutListStyle(size_t layoutCount,
                                          size_t visibleEntries = kVisibleEntries) {
  return layoutCount > visibleEntries ? kPopupStyle | win::WS_VSCROLL : kPopupStyle;
}
inline constexpr int32_t layoutListHeight(size_t layoutCount,
                                          size_t visibleEntries = kVisibleEntries) {
  return static_cast<int32_t>(std::min(layoutCount, visibleEntries)) * kItemHeight + 4;
}

// Filler windows in the record view (its fields), so that the tree can be as large as a real
// ACT!'s: alternately "Static" and "Edit", four to a row, wrapping every 25 rows.
inline constexpr int kDefaultFillers = 12;
struct FillerPlace {
  std::string_view className;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};
inline constexpr FillerPlace fillerPlace(int index) {
  return {index % 2 ? "Edit" : "Static", 10 + (index % 4) * 240, 10 + (index / 4) * 24 % 600, 220,
          20};
}

}  // namespace morvane::hostsim::shape

#include "simulator/trace_text.h"

#include <cstdio>

#include "platform/win_constants.h"

namespace morvane::simulator {

namespace {

std::string flagText(bool flag) {
  return flag ? "TRUE" : "FALSE";
}

}  // namespace

std::string hexHandle(uint32_t handle) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(handle));
  return text;
}

std::string messageName(uint32_t msg) {
  switch (msg) {
    case win::BM_CLICK:
      return "BM_CLICK";
    case win::WM_SETREDRAW:
      return "WM_SETREDRAW";
    case win::WM_SETTEXT:
      return "WM_SETTEXT";
    case win::LB_ADDSTRING:
      return "LB_ADDSTRING";
    case win::LB_INSERTSTRING:
      return "LB_INSERTSTRING";
    case win::LB_FINDSTRING:
      return "LB_FINDSTRING";
    case win::LB_FINDSTRINGEXACT:
      return "LB_FINDSTRINGEXACT";
    case win::LB_SETCURSEL:
      return "LB_SETCURSEL";
    case win::LB_GETCOUNT:
      return "LB_GETCOUNT";
    case win::LB_GETTEXT:
      return "LB_GETTEXT";
    case win::LB_GETTEXTLEN:
      return "LB_GETTEXTLEN";
    case win::SB_SETTEXTA:
      return "SB_SETTEXTA";
    case win::WM_KEYDOWN:
      return "WM_KEYDOWN";
    default:
      return "message " + std::to_string(msg);
  }
}

std::string describe(const sim::TraceEntry& e) {
  using Kind = sim::TraceEntry::Kind;
  const std::string target = hexHandle(e.target);
  switch (e.kind) {
    case Kind::Send:
    case Kind::Post: {
      std::string s = std::string(e.kind == Kind::Send ? "SendMessage " : "PostMessage ") +
                      messageName(e.msg) + " to " + target;
      s += " (" + std::to_string(static_cast<int32_t>(e.wParam)) + ", ";
      // The message says whether lParam is a string; an empty one is a string all the same.
      s += sim::carriesString(e.msg) && e.lParam != 0 ? "\"" + e.text + "\""
                                                      : std::to_string(e.lParam);
      return s + ")";
    }
    case Kind::Move:
      return "MoveWindow " + target + " (" + std::to_string(e.rect.left) + ", " +
             std::to_string(e.rect.top) + ", " + std::to_string(e.rect.right - e.rect.left) + ", " +
             std::to_string(e.rect.bottom - e.rect.top) + ", " + flagText(e.flag) + ")";
    case Kind::Lock:
      return "LockWindowUpdate " + target;
    case Kind::Invalidate:
      return "InvalidateRgn " + target + " (" + hexHandle(static_cast<uint32_t>(e.lParam)) + ", " +
             flagText(e.flag) + ")";
  }
  return {};
}

}  // namespace morvane::simulator

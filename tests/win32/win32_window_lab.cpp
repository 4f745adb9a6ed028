#include "tests/win32/win32_window_lab.h"

#include <stdexcept>
#include <string>

#include "platform/win32/win32_base.h"
#include "tests/win32/window_lab_protocol.h"

namespace morvane::win32 {
namespace {

// window_lab.exe, started once per test program. The lab watches this process and ends with
// it, so even a test program that crashes leaves nothing behind.
class LabProcess {
 public:
  LabProcess() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &LabProcess::replyProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MorvaneWindowLabReplies";
    RegisterClassExA(&wc);
    m_replies = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    SetWindowLongPtrA(m_replies, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string program(self);
    program = program.substr(0, program.find_last_of("\\/") + 1) + "window_lab.exe";
    std::string commandLine = "\"" + program + "\" " + std::to_string(fromHwnd(m_replies)) + " " +
                              std::to_string(GetCurrentProcessId());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &m_process)) {
      m_failure = "cannot start " + program + ": " + systemMessage(GetLastError());
      return;
    }
    // The lab says it is ready with a WM_COPYDATA to the reply window.
    const DWORD deadline = GetTickCount() + 30000;
    while (m_requests == nullptr && GetTickCount() < deadline) {
      if (MsgWaitForMultipleObjects(1, &m_process.hProcess, FALSE, 100, QS_ALLINPUT) ==
          WAIT_OBJECT_0) {
        m_failure = "window_lab.exe ended at start";
        return;
      }
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
    if (m_requests == nullptr) m_failure = "window_lab.exe did not answer";
  }

  ~LabProcess() {
    if (m_process.hProcess != nullptr) {
      if (m_requests != nullptr) PostMessageA(m_requests, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(m_process.hProcess, 5000) != WAIT_OBJECT_0) {
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, 5000);
      }
      CloseHandle(m_process.hThread);
      CloseHandle(m_process.hProcess);
    }
    DestroyWindow(m_replies);
  }

  const std::string& failure() const { return m_failure; }
  HWND requests() const { return m_requests; }

  LRESULT request(uint32_t kind, const void* data, size_t size) {
    COPYDATASTRUCT message{kind, static_cast<DWORD>(size), const_cast<void*>(data)};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(m_requests, WM_COPYDATA, reinterpret_cast<WPARAM>(m_replies),
                             reinterpret_cast<LPARAM>(&message), SMTO_NORMAL, 20000, &result))
      return 0;
    return static_cast<LRESULT>(result);
  }

  std::vector<lab::CommandEntry> commandList;

 private:
  static LRESULT CALLBACK replyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<LabProcess*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg != WM_COPYDATA || self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data.dwData == lab::kReady && data.cbData == sizeof(uint32_t))
      self->m_requests = toHwnd(*static_cast<const uint32_t*>(data.lpData));
    if (data.dwData == lab::kCommandList) {
      const auto* entries = static_cast<const lab::CommandEntry*>(data.lpData);
      self->commandList.assign(entries, entries + data.cbData / sizeof(lab::CommandEntry));
    }
    return TRUE;
  }

  HWND m_replies = nullptr;
  HWND m_requests = nullptr;
  PROCESS_INFORMATION m_process{};
  std::string m_failure;
};

LabProcess& labProcess() {
  static LabProcess process;
  if (!process.failure().empty()) throw std::runtime_error(process.failure());
  return process;
}

}  // namespace

Win32WindowLab::Win32WindowLab(std::chrono::milliseconds sendTimeout) : m_windows(sendTimeout) {
  labProcess();
}

Win32WindowLab::~Win32WindowLab() {
  // Newest first; windows already gone with their parent or owner just fail.
  for (auto it = m_made.rbegin(); it != m_made.rend(); ++it) destroy(*it);
}

Hwnd Win32WindowLab::create(const contract::WindowSpec& spec) {
  lab::CreateRequest request{};
  request.parent = spec.parent;
  request.style = spec.style;
  request.x = spec.x;
  request.y = spec.y;
  request.width = spec.width;
  request.height = spec.height;
  request.id = spec.id;
  spec.className.copy(request.className, sizeof request.className - 1);
  spec.text.copy(request.text, sizeof request.text - 1);
  const auto h = static_cast<Hwnd>(labProcess().request(lab::kCreate, &request, sizeof request));
  if (h != 0) m_made.push_back(h);
  return h;
}

bool Win32WindowLab::destroy(Hwnd hwnd) {
  return labProcess().request(lab::kDestroy, &hwnd, sizeof hwnd) != 0;
}

std::vector<contract::Command> Win32WindowLab::commands(Hwnd hwnd) {
  LabProcess& process = labProcess();
  process.commandList.clear();
  process.request(lab::kCommands, &hwnd, sizeof hwnd);
  std::vector<contract::Command> out;
  for (const lab::CommandEntry& e : process.commandList)
    out.push_back(contract::Command{e.wParam, static_cast<LParam>(static_cast<int32_t>(e.lParam))});
  return out;
}

void Win32WindowLab::hang(std::chrono::milliseconds duration) {
  // Sent, not posted: the lab handles sent messages in order, so it is asleep before any
  // message sent after this one.
  SendNotifyMessageA(labProcess().requests(), lab::kHangMessage,
                     static_cast<WPARAM>(duration.count()), 0);
}

bool Win32WindowLab::waitUntilResponsive(std::chrono::milliseconds limit) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(labProcess().requests(), WM_NULL, 0, 0, SMTO_NORMAL,
                             static_cast<UINT>(limit.count()), &ignored) != 0;
}

}  // namespace morvane::win32

namespace morvane::contract {

std::unique_ptr<WindowLab> makeWindowLab(std::chrono::milliseconds callLimit) {
  return std::make_unique<win32::Win32WindowLab>(callLimit);
}

}  // namespace morvane::contract

#include "hostwin/standin_client.h"

#include "tests/win32/support/wait.h"

#include <algorithm>
#include <stdexcept>

namespace morvane::hostwin {

namespace {

namespace shape = hostsim::shape;

constexpr char kReplyClass[] = "Morvane.StandInReply";
constexpr char kProgram[] = "ActStandIn.exe";

std::string programFolder() {
  std::string path(MAX_PATH, '\0');
  path.resize(GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size())));
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

struct FrameSearch {
  DWORD processId = 0;
  HWND found = nullptr;
};

BOOL CALLBACK checkFrame(HWND hwnd, LPARAM lParam) {
  auto& search = *reinterpret_cast<FrameSearch*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner != search.processId) return TRUE;
  char name[256] = {};
  const int n = GetClassNameA(hwnd, name, sizeof name);
  if (std::string_view(name, static_cast<size_t>(n)) != shape::kFrameClass) return TRUE;
  if (!IsWindowVisible(hwnd)) return TRUE;
  search.found = hwnd;
  return FALSE;
}

// The visible ACT! frame of the process, nullptr while there is none. The stand-in shows its
// frame once the whole window tree exists.
HWND findFrame(DWORD processId) {
  FrameSearch search{processId, nullptr};
  EnumWindows(checkFrame, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void registerReplyClass(WNDPROC proc) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kReplyClass;
  // Registered once per process; a second registration fails harmlessly.
  RegisterClassA(&wc);
}

uint64_t number(const std::map<std::string, std::string>& values, std::string_view key) {
  const auto it = values.find(std::string(key));
  return it == values.end() ? 0 : std::stoull(it->second);
}

std::string text(const std::map<std::string, std::string>& values, std::string_view key) {
  const auto it = values.find(std::string(key));
  return it == values.end() ? std::string() : it->second;
}

}  // namespace

StandInProcess::StandInProcess(std::string_view arguments, DWORD timeoutMs) {
  const std::string path = programFolder() + "\\" + kProgram;
  std::string commandLine;
  commandLine.append(1, '"').append(path).append(1, '"');
  if (!arguments.empty()) commandLine.append(1, ' ').append(arguments);

  // The job ends the stand-in with the caller, even when the caller dies without cleaning up.
  m_job = CreateJobObjectA(nullptr, nullptr);
  if (m_job != nullptr) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(m_job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, nullptr, &startup, &info)) {
    const DWORD error = GetLastError();
    if (m_job != nullptr) CloseHandle(m_job);
    throw std::runtime_error("cannot start " + path + ": " + win32::systemMessage(error));
  }
  if (m_job != nullptr && !AssignProcessToJobObject(m_job, info.hProcess)) {
    CloseHandle(m_job);
    m_job = nullptr;
  }
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  m_process = info.hProcess;
  m_processId = info.dwProcessId;
  connect(timeoutMs);
}

StandInProcess::StandInProcess(HANDLE process, DWORD processId, DWORD timeoutMs)
    : m_process(process), m_processId(processId) {
  connect(timeoutMs);
}

std::unique_ptr<StandInProcess> StandInProcess::attach(DWORD processId, DWORD timeoutMs) {
  const HANDLE process =
      OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId);
  if (process == nullptr)
    throw std::runtime_error("no ACT! stand-in with process id " + std::to_string(processId));
  return std::unique_ptr<StandInProcess>(new StandInProcess(process, processId, timeoutMs));
}

void StandInProcess::connect(DWORD timeoutMs) {
  const std::string path = programFolder() + "\\" + kProgram;
  registerReplyClass(replyProc);
  m_replyWindow = CreateWindowExA(0, kReplyClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
  if (m_replyWindow != nullptr)
    SetWindowLongPtrA(m_replyWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  wintest::waitUntil(
      [this] {
        m_frame = findFrame(m_processId);
        return m_frame != nullptr || !running();
      },
      std::chrono::milliseconds(timeoutMs), m_process);
  if (m_frame == nullptr || m_replyWindow == nullptr) {
    std::string why = "showed no ACT! frame in time";
    if (!running()) {
      DWORD code = 0;
      GetExitCodeProcess(m_process, &code);
      why = "ended with exit code " + std::to_string(code);
    } else if (m_replyWindow == nullptr) {
      why = "cannot be answered: no reply window";
    }
    TerminateProcess(m_process, 1);
    WaitForSingleObject(m_process, timeoutMs);
    CloseHandle(m_process);
    if (m_job != nullptr) CloseHandle(m_job);
    if (m_replyWindow != nullptr) DestroyWindow(m_replyWindow);
    throw std::runtime_error(path + " " + why);
  }
}

StandInProcess::~StandInProcess() {
  stop();
  CloseHandle(m_process);
  if (m_job != nullptr) CloseHandle(m_job);
  if (m_replyWindow != nullptr) DestroyWindow(m_replyWindow);
}

bool StandInProcess::running() const {
  return WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

LRESULT CALLBACK StandInProcess::replyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA && lParam != 0) {
    auto* self = reinterpret_cast<StandInProcess*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (self == nullptr || data.dwData != protocol::kReplyTag || data.lpData == nullptr)
      return FALSE;
    const std::string_view reply(static_cast<const char*>(data.lpData), data.cbData);
    uint32_t number = 0;
    CommandReply parsed;
    if (!protocol::parseReply(reply, number, parsed.result, parsed.text)) return FALSE;
    self->m_replyNumber = number;
    self->m_reply = std::move(parsed);
    return TRUE;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

CommandReply StandInProcess::command(std::string_view text, DWORD timeoutMs) {
  // The stand-in replies with SMTO_ABORTIFHUNG: a caller that has just waited a long time without
  // reading its messages (in a send to a hung stand-in, say) counts as hung until it reads them,
  // and would lose the reply.
  wintest::pumpMessages();
  COPYDATASTRUCT data{protocol::kCommandTag, static_cast<DWORD>(text.size()),
                      const_cast<char*>(text.data())};
  DWORD_PTR number = 0;
  if (!SendMessageTimeoutA(m_frame, WM_COPYDATA, reinterpret_cast<WPARAM>(m_replyWindow),
                           reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, timeoutMs, &number) ||
      number == 0) {
    return {};
  }
  const auto answered = [&] { return m_replyNumber == static_cast<uint32_t>(number); };
  if (!wintest::waitUntil([&] { return answered() || !running(); },
                          std::chrono::milliseconds(timeoutMs), m_process) ||
      !answered())
    return {};
  return std::move(m_reply);
}

StandInState StandInProcess::state() {
  const CommandReply reply = command("state");
  if (reply.result != protocol::Result::Done)
    throw std::runtime_error("the ACT! stand-in did not answer \"state\"");
  const auto values = protocol::parseLines(reply.text);
  StandInState state;
  state.running = text(values, protocol::kRunning) == "1";
  state.database = text(values, protocol::kDatabase);
  state.view = static_cast<int>(number(values, protocol::kView));
  state.record = text(values, protocol::kRecord);
  for (const auto& [key, value] : values) {
    if (key.starts_with(protocol::kFieldPrefix))
      state.fields[std::stoi(key.substr(protocol::kFieldPrefix.size()))] = value;
  }
  state.layout = text(values, protocol::kLayout);
  state.layouts = protocol::splitList(text(values, protocol::kLayouts));
  state.applied = protocol::splitList(text(values, protocol::kApplied));
  for (const std::string& entry : protocol::splitList(text(values, protocol::kEvents))) {
    const size_t colon = entry.find(':');
    state.events.push_back({std::stoi(entry.substr(0, colon)),
                            colon == std::string::npos ? "" : entry.substr(colon + 1)});
  }
  state.unlinked = text(values, protocol::kUnlinked) == "1";
  state.failing = protocol::splitList(text(values, protocol::kFailing));
  state.linked = static_cast<int>(number(values, protocol::kLinked));
  state.auxCommands = protocol::splitList(text(values, protocol::kAuxCommands));
  state.startupMacro = text(values, protocol::kStartupMacro);
  return state;
}

StandInCounters StandInProcess::counters() {
  const CommandReply reply = command("counters");
  if (reply.result != protocol::Result::Done)
    throw std::runtime_error("the ACT! stand-in did not answer \"counters\"");
  const auto values = protocol::parseLines(reply.text);
  return {number(values, protocol::kSent), number(values, protocol::kPosted),
          number(values, protocol::kAutomationCalls)};
}

void StandInProcess::resetCounters() {
  if (command("counters reset").result != protocol::Result::Done)
    throw std::runtime_error("the ACT! stand-in did not reset its counters");
}

std::string StandInProcess::frameTitle() const {
  char title[512] = {};
  const int n = GetWindowTextA(m_frame, title, sizeof title);
  return std::string(title, static_cast<size_t>(std::max(n, 0)));
}

std::string StandInProcess::currentLayout() const {
  const std::string title = frameTitle();
  return title.starts_with(shape::kTitlePrefix) ? title.substr(shape::kTitlePrefix.size())
                                                : std::string();
}

bool StandInProcess::waitForExit(DWORD timeoutMs) {
  return wintest::waitUntil([this] { return !running(); }, std::chrono::milliseconds(timeoutMs),
                            m_process);
}

void StandInProcess::wake() {
  const HANDLE event =
      OpenEventA(EVENT_MODIFY_STATE, FALSE, protocol::wakeEventName(m_processId).c_str());
  if (event == nullptr) return;
  SetEvent(event);
  CloseHandle(event);
}

bool StandInProcess::stop(DWORD timeoutMs) {
  if (running()) command("close", timeoutMs);
  if (!waitForExit(timeoutMs)) {
    TerminateProcess(m_process, 1);
    WaitForSingleObject(m_process, timeoutMs);
    return false;
  }
  DWORD code = 1;
  GetExitCodeProcess(m_process, &code);
  return code == 0;
}

}  // namespace morvane::hostwin

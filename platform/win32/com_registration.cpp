#include "platform/win32/com_registration.h"

#include <vector>

#include "platform/runtime_error.h"

#include <objbase.h>

namespace morvane::win32 {

namespace {

constexpr REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
const HKEY kRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

// An open registry key.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (m_key != nullptr) RegCloseKey(m_key);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY* put() { return &m_key; }
  HKEY get() const { return m_key; }

 private:
  HKEY m_key = nullptr;
};

[[noreturn]] void fail(LSTATUS status) {
  const HRESULT hr = HRESULT_FROM_WIN32(static_cast<DWORD>(status));
  throw automationError(hr, systemMessage(static_cast<DWORD>(status)));
}

std::wstring classesPath(std::string_view subkey) {
  return L"Software\\Classes\\" + toWide(subkey);
}

LSTATUS setDefault(HKEY root, REGSAM view, std::string_view subkey, std::string_view value) {
  RegKey key;
  LSTATUS status =
      RegCreateKeyExW(root, classesPath(subkey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | view, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  const std::wstring text = toWide(value);
  return RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The keys in the order they are made; they are removed the other way round.
std::vector<std::pair<std::string, std::string>> keysOf(const LocalServerClass& cls,
                                                        std::string_view exePath,
                                                        std::string_view arguments) {
  const std::string clsidKey = "CLSID\\" + guidText(cls.clsid);
  std::string commandLine(1, '"');
  commandLine.append(exePath);
  commandLine += '"';
  if (!arguments.empty()) {
    commandLine += ' ';
    commandLine.append(arguments);
  }
  return {
      {cls.progId, cls.description},       {cls.progId + "\\CLSID", guidText(cls.clsid)},
      {clsidKey, cls.description},         {clsidKey + "\\LocalServer32", commandLine},
      {clsidKey + "\\ProgID", cls.progId},
  };
}

}  // namespace

void registerLocalServerClass(const LocalServerClass& cls, std::string_view exePath,
                              std::string_view arguments) {
  const auto keys = keysOf(cls, exePath, arguments);
  auto writeAll = [&](HKEY root) {
    for (REGSAM view : kViews) {
      for (const auto& [subkey, value] : keys) {
        const LSTATUS status = setDefault(root, view, subkey, value);
        if (status != ERROR_SUCCESS) return status;
      }
    }
    return static_cast<LSTATUS>(ERROR_SUCCESS);
  };
  LSTATUS status = writeAll(HKEY_LOCAL_MACHINE);
  if (status == ERROR_ACCESS_DENIED) {
    unregisterLocalServerClass(cls);
    status = writeAll(HKEY_CURRENT_USER);
  }
  if (status != ERROR_SUCCESS) fail(status);
}

void unregisterLocalServerClass(const LocalServerClass& cls) {
  const auto keys = keysOf(cls, {}, {});
  for (HKEY root : kRoots) {
    for (REGSAM view : kViews) {
      for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        // Fails, harmlessly, for a key that is not there or that holds subkeys of another program.
        RegDeleteKeyExW(root, classesPath(it->first).c_str(), view, 0);
      }
    }
  }
}

std::string guidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return toAnsi(text);
}

std::string programPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return toAnsi(path);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace morvane::win32

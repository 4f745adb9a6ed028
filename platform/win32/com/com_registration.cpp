#include "platform/win32/com/com_registration.h"

#include <functional>
#include <string>
#include <utility>
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

// One value of a key (the default value when name is empty), or the key alone.
struct KeyValue {
  KeyValue(std::string key, std::string value, std::string name = {})
      : key(std::move(key)), value(std::move(value)), name(std::move(name)) {}
  static KeyValue alone(std::string key) {
    KeyValue entry(std::move(key), {});
    entry.keyOnly = true;
    return entry;
  }

  std::string key;
  std::string value;
  std::string name;
  bool keyOnly = false;
};

LSTATUS setValue(HKEY root, REGSAM view, const KeyValue& entry) {
  RegKey key;
  LSTATUS status =
      RegCreateKeyExW(root, classesPath(entry.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | view, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS || entry.keyOnly) return status;
  const std::wstring text = toWide(entry.value);
  const std::wstring name = toWide(entry.name);
  return RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Writes the entries into the given views of HKEY_LOCAL_MACHINE or, when the user may not write
// there, of HKEY_CURRENT_USER (after removing what the first attempt made).
void writeClasses(const std::vector<KeyValue>& entries, const std::vector<REGSAM>& views,
                  const std::function<void()>& undo) {
  auto writeAll = [&](HKEY root) {
    for (REGSAM view : views) {
      for (const KeyValue& entry : entries) {
        const LSTATUS status = setValue(root, view, entry);
        if (status != ERROR_SUCCESS) return status;
      }
    }
    return static_cast<LSTATUS>(ERROR_SUCCESS);
  };
  LSTATUS status = writeAll(HKEY_LOCAL_MACHINE);
  if (status == ERROR_ACCESS_DENIED) {
    undo();
    status = writeAll(HKEY_CURRENT_USER);
  }
  if (status != ERROR_SUCCESS) fail(status);
}

// Deletes the entries' keys, the last made first, under both roots.
void removeClasses(const std::vector<KeyValue>& entries, const std::vector<REGSAM>& views) {
  for (HKEY root : kRoots) {
    for (REGSAM view : views) {
      for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        // Fails, harmlessly, for a key that is not there or that holds subkeys of another program
        // (or one deleted already, for a key with several values).
        RegDeleteKeyExW(root, classesPath(it->key).c_str(), view, 0);
      }
    }
  }
}

std::vector<KeyValue> inprocKeysOf(const InprocServerClass& cls, std::string_view dllPath) {
  const std::string clsidKey = "CLSID\\" + guidText(cls.clsid);
  std::vector<KeyValue> keys = {
      {cls.progId, cls.description},
      {cls.progId + "\\CLSID", guidText(cls.clsid)},
      {clsidKey, cls.description},
      {clsidKey + "\\InprocServer32", std::string(dllPath)},
      {clsidKey + "\\InprocServer32", cls.threadingModel, "ThreadingModel"},
      {clsidKey + "\\ProgID", cls.progId},
  };
  if (cls.control) {
    keys.push_back(KeyValue::alone(clsidKey + "\\Control"));
    keys.push_back({clsidKey + "\\TypeLib", guidText(cls.typeLib)});
    keys.push_back({clsidKey + "\\Version", cls.version});
    keys.push_back({clsidKey + "\\MiscStatus", "0"});
    keys.push_back({clsidKey + "\\MiscStatus\\1", std::to_string(cls.miscStatus)});
  }
  return keys;
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
  std::vector<KeyValue> entries;
  for (auto& [subkey, value] : keysOf(cls, exePath, arguments))
    entries.push_back({std::move(subkey), std::move(value)});
  writeClasses(entries, {std::begin(kViews), std::end(kViews)},
               [&] { unregisterLocalServerClass(cls); });
}

void unregisterLocalServerClass(const LocalServerClass& cls) {
  std::vector<KeyValue> entries;
  for (auto& [subkey, value] : keysOf(cls, {}, {})) entries.push_back({std::move(subkey), {}});
  removeClasses(entries, {std::begin(kViews), std::end(kViews)});
}

REGSAM ownRegistryView() {
  return sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

void registerInprocServerClass(const InprocServerClass& cls, std::string_view dllPath) {
  writeClasses(inprocKeysOf(cls, dllPath), {ownRegistryView()},
               [&] { unregisterInprocServerClass(cls); });
}

void unregisterInprocServerClass(const InprocServerClass& cls) {
  removeClasses(inprocKeysOf(cls, {}), {ownRegistryView()});
}

std::string guidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return toAnsi(text);
}

namespace {
std::string pathOf(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return toAnsi(path);
    }
    path.resize(path.size() * 2);
  }
}
}  // namespace

std::string programPath() {
  return pathOf(nullptr);
}

std::string modulePath() {
  return pathOf(thisModule());
}

}  // namespace morvane::win32

// A container's property bag: the saved design-time state of a control on a form.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation.h"

namespace morvane {

class PropertyBag {
 public:
  PropertyBag() = default;
  PropertyBag(const PropertyBag&) = delete;
  PropertyBag& operator=(const PropertyBag&) = delete;
  virtual ~PropertyBag() = default;

  // The stored value of the property, or defaultValue when none is stored.
  virtual Variant readProperty(std::string_view name, const Variant& defaultValue) = 0;
  // Stores the value; a value equal to defaultValue is not stored (any earlier one is dropped),
  // so a later read gives the default.
  virtual void writeProperty(std::string_view name, const Variant& value,
                             const Variant& defaultValue) = 0;
};

// A property bag in memory, as a form file holds one; it remembers the order of reads and writes.
class MemoryPropertyBag : public PropertyBag {
 public:
  Variant readProperty(std::string_view name, const Variant& defaultValue) override {
    m_reads.emplace_back(name);
    const auto it = m_values.find(std::string(name));
    return it == m_values.end() ? defaultValue : it->second;
  }
  void writeProperty(std::string_view name, const Variant& value,
                     const Variant& defaultValue) override {
    m_writes.emplace_back(name);
    if (value == defaultValue)
      m_values.erase(std::string(name));
    else
      m_values[std::string(name)] = value;
  }

  // Puts a value in as a form file would hold it.
  void set(std::string_view name, Variant value) { m_values[std::string(name)] = std::move(value); }
  bool contains(std::string_view name) const { return m_values.count(std::string(name)) != 0; }
  const std::map<std::string, Variant, std::less<>>& values() const { return m_values; }
  const std::vector<std::string>& reads() const { return m_reads; }
  const std::vector<std::string>& writes() const { return m_writes; }

 private:
  std::map<std::string, Variant, std::less<>> m_values;
  std::vector<std::string> m_reads;
  std::vector<std::string> m_writes;
};

}  // namespace morvane

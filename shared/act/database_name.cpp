#include "shared/act/database_name.h"

#include "platform/runtime_error.h"

namespace morvane {

std::string databaseNameFromPath(std::string_view path) {
  const size_t slash = path.rfind('\\');
  const std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  // Cutting an empty name is what fails in Basic (Left$ with a length of -1).
  if (file.empty()) throw RuntimeError(err::kInvalidProcedureCall);
  return std::string(file.substr(0, file.find('.')));
}

}  // namespace morvane

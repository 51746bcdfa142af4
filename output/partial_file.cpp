#include "output/partial_file.hpp"

#include <system_error>

#include "common/errors.hpp"

namespace box {

std::filesystem::path partial_path(const std::filesystem::path& final_path) {
  std::filesystem::path partial = final_path;
  partial += ".partial";
  return partial;
}

void publish(const std::filesystem::path& partial, const std::filesystem::path& final_path) {
  std::error_code error;
  std::filesystem::rename(partial, final_path, error);
  if (error)
    throw OutputError(final_path.string() + ": cannot rename the complete file from " +
                      partial.string() + ": " + error.message());
}

}  // namespace box

#include "io/mechanism_loading.hpp"

#include "io/v1_mechanism.hpp"

namespace box {

std::shared_ptr<LoadedMechanism> load_mechanism(const std::filesystem::path& file, bool machine_code) {
  auto loaded = std::make_shared<LoadedMechanism>();
  loaded->file = file;
  loaded->mechanism = read_any_mechanism_file(file);
  loaded->derivation = derive(loaded->mechanism);
  if (machine_code) loaded->native = NativeKernels::write(loaded->derivation);
  loaded->catalogue = catalogue_of(loaded->mechanism);
  return loaded;
}

}  // namespace box

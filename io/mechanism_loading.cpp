#include "io/mechanism_loading.hpp"

#include "io/mechanism_file.hpp"

namespace box {

std::shared_ptr<LoadedMechanism> load_mechanism(const std::filesystem::path& file) {
  auto loaded = std::make_shared<LoadedMechanism>();
  loaded->file = file;
  loaded->mechanism = read_mechanism_file(file);
  loaded->derivation = derive(loaded->mechanism);
  loaded->native = NativeKernels::write(loaded->derivation);
  loaded->catalogue = catalogue_of(loaded->mechanism);
  return loaded;
}

}  // namespace box

#include "com/server.h"

#include <vector>

#include "com/registration.h"

namespace com {

namespace {

std::vector<RegistryEntry> EntriesOf(std::span<const ControlClass* const> classes) {
  std::vector<RegistryEntry> entries;
  for (const ControlClass* cls : classes) {
    std::vector<RegistryEntry> rows = RegistryEntriesOf(*cls);
    entries.insert(entries.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
  }
  return entries;
}

}  // namespace

HRESULT RegisterClasses(std::span<const ControlClass* const> classes) { return RegisterServer(EntriesOf(classes)); }

HRESULT UnregisterClasses(std::span<const ControlClass* const> classes) {
  return UnregisterServer(EntriesOf(classes));
}

}  // namespace com

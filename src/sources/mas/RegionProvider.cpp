#include "sources/mas/RegionProvider.h"

namespace norvelle {

RegionProvider::~RegionProvider() = default;

} // namespace norvelle

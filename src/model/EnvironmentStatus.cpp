#include "model/EnvironmentStatus.h"

#include "model/RecordHashing.h"

namespace norvelle {

size_t qHash(const EnvironmentStatus& status, size_t seed)
{
    using namespace hashing;
    seed = feed(seed, int(status.hasHomebrew));
    seed = feed(seed, int(status.hasMAS));
    seed = feed(seed, int(status.hasNetwork));
    return feedOptional(seed, status.homebrewPath);
}

} // namespace norvelle

#include "model/MAS.h"

#include "model/RecordHashing.h"

namespace norvelle {

size_t qHash(const MAS& mas, size_t seed)
{
    using namespace hashing;
    seed = feed(seed, mas.appID);
    seed = feed(seed, mas.storeVersion);
    seed = feed(seed, mas.installedVersion);
    seed = feed(seed, mas.bundleIdentifier);
    return feedOptional(seed, mas.fileSizeBytes);
}

} // namespace norvelle

#include "model/SparkleInfo.h"

#include "model/RecordHashing.h"

namespace norvelle {

size_t qHash(const SparkleInfo& info, size_t seed)
{
    using namespace hashing;
    seed = feed(seed, info.feedURL);
    seed = feedOptional(seed, info.signature);
    seed = feedOptional(seed, info.releaseNotesURL);
    return feed(seed, int(info.supportsAutomaticUpdates));
}

} // namespace norvelle

#include "model/Cask.h"

#include "model/RecordHashing.h"

namespace norvelle {

size_t qHash(const Cask& cask, size_t seed)
{
    using namespace hashing;
    seed = feed(seed, cask.caskName);
    seed = feed(seed, cask.currentVersion);
    seed = feed(seed, cask.latestVersion);
    seed = feedOptional(seed, cask.description);
    seed = feedOptional(seed, cask.homepage);
    seed = feedList(seed, cask.warnings);
    seed = feed(seed, int(cask.adopted));
    seed = feed(seed, int(cask.adoptable));
    seed = feed(seed, int(cask.requiresSudo));
    seed = feedList(seed, cask.artifacts);
    seed = feed(seed, int(cask.deprecated));
    return feed(seed, int(cask.disabled));
}

} // namespace norvelle

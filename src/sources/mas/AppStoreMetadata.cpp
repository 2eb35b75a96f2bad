#include "sources/mas/AppStoreMetadata.h"

#include "model/RecordHashing.h"

namespace norvelle {

size_t qHash(const AppStoreMetadata& metadata, size_t seed)
{
    using namespace hashing;
    seed = feed(seed, metadata.trackId);
    seed = feed(seed, metadata.bundleId);
    seed = feed(seed, metadata.trackName);
    seed = feed(seed, metadata.version);
    seed = feedOptional(seed, metadata.releaseNotes);
    seed = feedOptional(seed, metadata.releaseDate);
    seed = feedOptional(seed, metadata.fileSizeBytes);
    return feedOptional(seed, metadata.trackViewUrl);
}

} // namespace norvelle

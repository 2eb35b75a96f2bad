#include "sources/sparkle/SparkleUpdate.h"

#include "model/RecordHashing.h"

namespace norvelle {

size_t qHash(const SparkleUpdate& update, size_t seed)
{
    using namespace hashing;
    seed = feed(seed, update.applicationId);
    seed = feed(seed, update.bundleIdentifier);
    seed = feed(seed, update.feedURL);
    seed = feed(seed, update.currentVersion);
    seed = feed(seed, update.availableVersion);
    seed = feedOptional(seed, update.releaseNotes);
    seed = feedOptional(seed, update.releaseNotesURL);
    seed = feed(seed, update.downloadURL);
    seed = feedOptional(seed, update.publishedDate);
    return feedOptional(seed, update.fileSize);
}

} // namespace norvelle

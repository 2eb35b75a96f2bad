#include "model/Update.h"

#include "model/Application.h"
#include "model/RawValueTable.h"
#include "model/RecordHashing.h"

namespace norvelle {

namespace {

using rawvalues::fromText;
using rawvalues::toText;

const rawvalues::Table<Update::Source, 4> kSources{{
    {Update::Source::homebrew, "homebrew"},
    {Update::Source::sparkle, "sparkle"},
    {Update::Source::appStore, "appStore"},
    {Update::Source::other, "other"},
}};

const rawvalues::Table<Update::Status, 5> kStatuses{{
    {Update::Status::available, "available"},
    {Update::Status::updating, "updating"},
    {Update::Status::updated, "updated"},
    {Update::Status::failed, "failed"},
    {Update::Status::ignored, "ignored"},
}};

} // namespace

bool Update::Result::operator==(const Result& other) const
{
    return id == other.id && sameApplication(application, other.application) && success == other.success &&
           error == other.error && timestamp == other.timestamp;
}

std::optional<Update::Source> Update::sourceFromRawValue(const QString& rawValue)
{
    return fromText(kSources, rawValue);
}

std::optional<Update::Status> Update::statusFromRawValue(const QString& rawValue)
{
    return fromText(kStatuses, rawValue);
}

QString toRawValue(Update::Source source)
{
    return toText(kSources, source);
}

QString toRawValue(Update::Status status)
{
    return toText(kStatuses, status);
}

size_t qHash(Update::Source source, size_t seed)
{
    return qHash(toRawValue(source), seed);
}

size_t qHash(Update::Status status, size_t seed)
{
    return qHash(toRawValue(status), seed);
}

size_t qHash(const Update& update, size_t seed)
{
    using namespace hashing;
    seed = feed(seed, update.latestVersion);
    seed = feedOptional(seed, update.releaseNotes);
    seed = feedOptional(seed, update.releaseDate);
    seed = feed(seed, update.source);
    seed = feed(seed, update.status);
    seed = feedOptional(seed, update.cask);
    seed = feedOptional(seed, update.sparkleInfo);
    seed = feedOptional(seed, update.mas);
    return feedOptional(seed, update.lastUpdateError);
}

size_t qHash(const Update::Result& result, size_t seed)
{
    using namespace hashing;
    seed = feed(seed, result.id);
    seed = feed(seed, applicationId(result.application));
    seed = feed(seed, int(result.success));
    seed = feedOptional(seed, result.error);
    return feed(seed, result.timestamp);
}

} // namespace norvelle

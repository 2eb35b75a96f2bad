#include "model/AdoptionProgress.h"

#include "model/RawValueTable.h"
#include "model/ProgressFields.h"

namespace norvelle {

namespace {

const rawvalues::Table<AdoptionProgress::Status, 7> kStatuses{{
    {AdoptionProgress::Status::queued, "queued"},
    {AdoptionProgress::Status::downloading, "downloading"},
    {AdoptionProgress::Status::adopting, "adopting"},
    {AdoptionProgress::Status::verifying, "verifying"},
    {AdoptionProgress::Status::completed, "completed"},
    {AdoptionProgress::Status::failed, "failed"},
    {AdoptionProgress::Status::cancelled, "cancelled"},
}};

} // namespace

bool AdoptionProgress::operator==(const AdoptionProgress& other) const
{
    return progressfields::equal(*this, other);
}

std::optional<AdoptionProgress::Status> AdoptionProgress::statusFromRawValue(const QString& rawValue)
{
    return rawvalues::fromText(kStatuses, rawValue);
}

QString toRawValue(AdoptionProgress::Status status)
{
    return rawvalues::toText(kStatuses, status);
}

size_t qHash(AdoptionProgress::Status status, size_t seed)
{
    return qHash(toRawValue(status), seed);
}

size_t qHash(const AdoptionProgress& progress, size_t seed)
{
    return progressfields::hash(seed, progress);
}

} // namespace norvelle

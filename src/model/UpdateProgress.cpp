#include "model/UpdateProgress.h"

#include "model/RawValueTable.h"
#include "model/ProgressFields.h"

namespace norvelle {

namespace {

const rawvalues::Table<UpdateProgress::Status, 7> kStatuses{{
    {UpdateProgress::Status::queued, "queued"},
    {UpdateProgress::Status::downloading, "downloading"},
    {UpdateProgress::Status::installing, "installing"},
    {UpdateProgress::Status::verifying, "verifying"},
    {UpdateProgress::Status::completed, "completed"},
    {UpdateProgress::Status::failed, "failed"},
    {UpdateProgress::Status::cancelled, "cancelled"},
}};

} // namespace

bool UpdateProgress::operator==(const UpdateProgress& other) const
{
    return progressfields::equal(*this, other) && brewOutput == other.brewOutput;
}

std::optional<UpdateProgress::Status> UpdateProgress::statusFromRawValue(const QString& rawValue)
{
    return rawvalues::fromText(kStatuses, rawValue);
}

QString toRawValue(UpdateProgress::Status status)
{
    return rawvalues::toText(kStatuses, status);
}

size_t qHash(UpdateProgress::Status status, size_t seed)
{
    return qHash(toRawValue(status), seed);
}

size_t qHash(const UpdateProgress& progress, size_t seed)
{
    return hashing::feedList(progressfields::hash(seed, progress), progress.brewOutput);
}

} // namespace norvelle

#pragma once

#include "model/Application.h"
#include "model/RecordHashing.h"

// An update's and an adoption's reports share their first seven fields, with the same names and
// meanings; both records compare and hash them here, in declaration order.
namespace norvelle::progressfields {

// The application takes part by its id only; progress is compared exactly.
template <typename Record> bool equal(const Record& a, const Record& b)
{
    return a.id == b.id && sameApplication(a.application, b.application) && a.status == b.status &&
           a.progress == b.progress && a.currentStep == b.currentStep && a.startTime == b.startTime &&
           a.estimatedCompletion == b.estimatedCompletion;
}

template <typename Record> size_t hash(size_t seed, const Record& record)
{
    using namespace hashing;
    seed = feed(seed, record.id);
    seed = feed(seed, applicationId(record.application));
    seed = feed(seed, record.status);
    seed = feedNumber(seed, record.progress);
    seed = feed(seed, record.currentStep);
    seed = feed(seed, record.startTime);
    return feedOptional(seed, record.estimatedCompletion);
}

} // namespace norvelle::progressfields

// Info.plist files of every bundle on the disk, XML or binary.
#include "FuzzInput.h"
#include "platform/plist/PropertyList.h"

using namespace norvelle;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceSystemLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const std::optional<QVariant> value = PropertyList::parse(input);
    if (!value)
        return 0;
    // What was read must write back and read again.
    for (const auto format : {PropertyList::Format::xml, PropertyList::Format::binary}) {
        if (const std::optional<QByteArray> written = PropertyList::serialize(*value, format))
            (void)PropertyList::parse(*written);
    }
    return 0;
}

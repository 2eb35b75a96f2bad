// Replies of the store's lookup service.
#include "FuzzInput.h"
#include "sources/mas/AppStoreLookupReply.h"

using namespace norvelle;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceSystemLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)AppStoreLookupReply::read(200, fuzz::bytes(data, size), QStringLiteral("com.example.app"));
    return 0;
}

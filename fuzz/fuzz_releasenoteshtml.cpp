// Release notes that feeds deliver as HTML.
#include "FuzzInput.h"
#include "sources/sparkle/ReleaseNotesConverter.h"

using namespace norvelle;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceSystemLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString html = fuzz::text(data, size);
    (void)ReleaseNotesConverter::convertHTMLToMarkdown(html);
    (void)ReleaseNotesConverter::decodeHTMLEntities(html);
    return 0;
}

// The Markdown the detail pane reads its release notes from.
#include "FuzzInput.h"
#include "ui/detail/ReleaseNotesMarkdown.h"

using namespace norvelle;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceSystemLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (const ReleaseNotesMarkdown::Line& line : ReleaseNotesMarkdown::parse(fuzz::text(data, size)))
        (void)ReleaseNotesMarkdown::renderInline(line.text);
    return 0;
}

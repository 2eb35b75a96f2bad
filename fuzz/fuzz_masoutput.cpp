// The listings of `mas list` and `mas outdated`.
#include "FuzzInput.h"
#include "sources/mas/MASOutputParser.h"

using namespace norvelle;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceSystemLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (const QString& line : MASOutputParser::splitLines(fuzz::bytes(data, size))) {
        (void)MASOutputParser::parseListLine(line);
        (void)MASOutputParser::parseOutdatedLine(line);
    }
    return 0;
}

#include "services/VersionOrdering.h"

#include "util/NumericCompare.h"

namespace norvelle {

namespace {

const QString kLatest = QStringLiteral("latest");

} // namespace

std::weak_ordering VersionOrdering::compareVersions(const QString& a, const QString& b, Update::Source sourceA,
                                                    Update::Source sourceB)
{
    const bool aLatest = a == kLatest;
    const bool bLatest = b == kLatest;
    if (aLatest && bLatest)
        return compareSourcePriority(sourceA, sourceB);
    if (aLatest)
        return std::weak_ordering::greater;
    if (bLatest)
        return std::weak_ordering::less;

    const VersionAndBuild left = splitVersionAndBuild(a);
    const VersionAndBuild right = splitVersionAndBuild(b);
    if (const std::weak_ordering order = numericCompare(left.version, right.version); order != 0)
        return order;

    if (left.build && right.build) {
        if (const std::weak_ordering order = numericCompare(*left.build, *right.build); order != 0)
            return order;
        return compareSourcePriority(sourceA, sourceB);
    }
    if (right.build)
        return std::weak_ordering::less;
    if (left.build)
        return std::weak_ordering::greater;
    return compareSourcePriority(sourceA, sourceB);
}

VersionOrdering::VersionAndBuild VersionOrdering::splitVersionAndBuild(const QString& text)
{
    // The first piece is the first non-empty run before a comma; the rest of the text after
    // the comma that ends it is the second piece, further commas included.
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == u',')
        ++start;
    const qsizetype comma = text.indexOf(u',', start);
    if (start >= text.size() || comma < 0)
        return {text, std::nullopt};
    const QString rest = text.mid(comma + 1);
    if (rest.isEmpty())
        return {text, std::nullopt};
    return {text.mid(start, comma - start), rest};
}

std::weak_ordering VersionOrdering::compareSourcePriority(Update::Source a, Update::Source b)
{
    if (a == Update::Source::homebrew && b == Update::Source::sparkle)
        return std::weak_ordering::greater;
    if (a == Update::Source::sparkle && b == Update::Source::homebrew)
        return std::weak_ordering::less;
    return std::weak_ordering::equivalent;
}

int VersionOrdering::sourceRank(Update::Source source)
{
    switch (source) {
    case Update::Source::appStore:
        return 1;
    case Update::Source::homebrew:
        return 2;
    case Update::Source::sparkle:
        return 3;
    case Update::Source::other:
        break;
    }
    return 4;
}

} // namespace norvelle

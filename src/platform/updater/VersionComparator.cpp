#include "platform/updater/VersionComparator.h"

#include <QList>
#include <QStringView>

namespace norvelle {

namespace {

enum class RunKind { number, text, separator };

struct Run {
    RunKind kind;
    QStringView text;
};

RunKind kindOf(QChar c)
{
    if (c.isDigit())
        return RunKind::number;
    if (c.isSpace() || c.isPunct())
        return RunKind::separator;
    return RunKind::text;
}

QList<Run> split(QStringView version)
{
    QList<Run> runs;
    qsizetype start = 0;
    for (qsizetype i = 0; i < version.size(); ++i) {
        const RunKind kind = kindOf(version[i]);
        const bool continuesRun = i > start && kind != RunKind::separator && kind == kindOf(version[start]);
        if (i > start && !continuesRun) {
            runs.append({kindOf(version[start]), version.mid(start, i - start)});
            start = i;
        }
    }
    if (start < version.size())
        runs.append({kindOf(version[start]), version.mid(start)});
    return runs;
}

// Compares two digit runs by value without converting them, so runs of any length
// (dates, build stamps) compare correctly and nothing can overflow.
int compareNumbers(QStringView a, QStringView b)
{
    auto stripZeros = [](QStringView s) {
        qsizetype i = 0;
        while (i + 1 < s.size() && s[i].digitValue() == 0)
            ++i;
        return s.mid(i);
    };
    a = stripZeros(a);
    b = stripZeros(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const int da = a[i].digitValue();
        const int db = b[i].digitValue();
        if (da != db)
            return da < db ? -1 : 1;
    }
    return 0;
}

int rankOfKind(RunKind kind)
{
    switch (kind) {
    case RunKind::text:
        return 0;
    case RunKind::separator:
        return 1;
    case RunKind::number:
        return 2;
    }
    return 0;
}

// A commit hash tacked on after a dash ("1.5.5-335d3e2", git describe's "-g335d3e2")
// names a build, not a release: two of them cannot be ordered, so it is left out.
bool isCommitHash(QStringView part)
{
    if (part.size() > 7 && part.startsWith(u'g'))
        part = part.mid(1);
    if (part.size() < 7 || part.size() > 40)
        return false;
    bool digit = false;
    bool letter = false;
    for (QChar c : part) {
        if (c.isDigit() && c.unicode() < 128)
            digit = true;
        else if ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))
            letter = true;
        else
            return false;
    }
    return digit && letter;
}

QString withoutCommitHashes(const QString& version)
{
    if (!version.contains(u'-'))
        return version;
    const QStringList parts = version.split(u'-');
    QStringList kept{parts.first()};
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (!isCommitHash(parts[i]))
            kept.append(parts[i]);
    }
    return kept.join(u'-');
}

// Where the leading run of numeric components ends ("3.3" in "3.3 (5847)") and how
// many components it has.
struct NumericPrefix {
    qsizetype end = 0;
    qsizetype components = 0;
};

NumericPrefix numericPrefix(const QList<Run>& runs)
{
    NumericPrefix prefix;
    qsizetype i = 0;
    while (i < runs.size() && runs[i].kind == RunKind::number) {
        prefix.end = i + 1;
        ++prefix.components;
        if (i + 2 < runs.size() && runs[i + 1].kind == RunKind::separator &&
            runs[i + 2].kind == RunKind::number)
            i += 2;
        else
            break;
    }
    return prefix;
}

// Missing trailing components count as zero: "2.1" is "2.1.0", "1.0pre1" is
// "1.0.0pre1". The shorter numeric prefix gets ".0" components up to the longer one's.
void balance(QList<Run>& a, QList<Run>& b)
{
    static constexpr char16_t dot[] = u".";
    static constexpr char16_t zero[] = u"0";
    const NumericPrefix pa = numericPrefix(a);
    const NumericPrefix pb = numericPrefix(b);
    if (pa.components == 0 || pb.components == 0 || pa.components == pb.components)
        return;
    QList<Run>& shorter = pa.components < pb.components ? a : b;
    const NumericPrefix& prefix = pa.components < pb.components ? pa : pb;
    const qsizetype missing = std::abs(pa.components - pb.components);
    for (qsizetype i = 0; i < missing; ++i) {
        shorter.insert(prefix.end, Run{RunKind::number, QStringView(zero)});
        shorter.insert(prefix.end, Run{RunKind::separator, QStringView(dot)});
    }
}

} // namespace

int VersionComparator::compare(const QString& a, const QString& b)
{
    const QString cleanA = withoutCommitHashes(a);
    const QString cleanB = withoutCommitHashes(b);
    QList<Run> runsA = split(cleanA);
    QList<Run> runsB = split(cleanB);
    balance(runsA, runsB);
    const qsizetype common = std::min(runsA.size(), runsB.size());
    for (qsizetype i = 0; i < common; ++i) {
        const Run& ra = runsA[i];
        const Run& rb = runsB[i];
        if (ra.kind != rb.kind)
            return rankOfKind(ra.kind) < rankOfKind(rb.kind) ? -1 : 1;
        int result = 0;
        if (ra.kind == RunKind::number)
            result = compareNumbers(ra.text, rb.text);
        else if (ra.kind == RunKind::text)
            result = ra.text.compare(rb.text, Qt::CaseSensitive);
        if (result != 0)
            return result < 0 ? -1 : 1;
    }
    // One version goes on where the other ended. Its next run that is not a separator
    // decides: text marks a pre-release of the shorter version ("1.0 beta" < "1.0"),
    // a number a later release ("1.0" < "1.0.1"); bare trailing separators change nothing.
    const bool aIsLonger = runsA.size() > runsB.size();
    const QList<Run>& longer = aIsLonger ? runsA : runsB;
    for (qsizetype i = common; i < longer.size(); ++i) {
        if (longer[i].kind == RunKind::separator)
            continue;
        const bool longerIsNewer = longer[i].kind == RunKind::number;
        return (aIsLonger == longerIsNewer) ? 1 : -1;
    }
    return 0;
}

} // namespace norvelle

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

} // namespace

int VersionComparator::compare(const QString& a, const QString& b)
{
    const QList<Run> runsA = split(a);
    const QList<Run> runsB = split(b);
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

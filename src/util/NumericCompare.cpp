#include "util/NumericCompare.h"

namespace norvelle {

namespace {

bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

qsizetype digitRunEnd(QStringView s, qsizetype from)
{
    while (from < s.size() && isDigit(s[from]))
        ++from;
    return from;
}

// Compares two digit runs by value: leading zeros dropped, then the longer run is the
// larger number, and runs of equal length compare digit by digit.
std::weak_ordering compareDigitRuns(QStringView x, QStringView y)
{
    auto strip = [](QStringView r) {
        qsizetype i = 0;
        while (i < r.size() && r[i] == u'0')
            ++i;
        return r.sliced(i);
    };
    const QStringView sx = strip(x);
    const QStringView sy = strip(y);
    if (sx.size() != sy.size())
        return sx.size() <=> sy.size();
    for (qsizetype i = 0; i < sx.size(); ++i) {
        if (sx[i] != sy[i])
            return sx[i].unicode() <=> sy[i].unicode();
    }
    return std::weak_ordering::equivalent;
}

} // namespace

std::weak_ordering numericCompare(QStringView a, QStringView b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const qsizetype ie = digitRunEnd(a, i);
            const qsizetype je = digitRunEnd(b, j);
            const QStringView ra = a.sliced(i, ie - i);
            const QStringView rb = b.sliced(j, je - j);
            const auto byValue = compareDigitRuns(ra, rb);
            if (byValue != 0)
                return byValue;
            i = ie;
            j = je;
            continue;
        }
        if (a[i] != b[j])
            return a[i].unicode() <=> b[j].unicode();
        ++i;
        ++j;
    }
    const qsizetype restA = a.size() - i;
    const qsizetype restB = b.size() - j;
    if (restA != restB)
        return restA <=> restB;
    // Runs that differ only in leading zeros are the same number, as in the
    // platform's numeric comparison: "1.01" is not newer than "1.1".
    return std::weak_ordering::equivalent;
}

} // namespace norvelle

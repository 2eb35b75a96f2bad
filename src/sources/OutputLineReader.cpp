#include "sources/OutputLineReader.h"

#include "util/StrictText.h"

#include "platform/Logger.h"

#include <QStringDecoder>

namespace norvelle {

OutputLineReader::OutputLineReader(QString logPrefix, Classifier classify, LineHandler handler)
    : m_logPrefix(std::move(logPrefix)), m_classify(classify), m_handler(std::move(handler))
{
    m_buffer.reserve(4096);
}

void OutputLineReader::feed(QByteArrayView chunk)
{
    if (m_finished || chunk.isEmpty())
        return;
    // What was buffered before holds no line feed, so only the new bytes are searched;
    // a long line arriving in many chunks is not rescanned from its start each time.
    const qsizetype scanFrom = m_buffer.size();
    m_buffer.append(chunk);
    // Hand over every complete line, then drop them from the buffer in one step.
    qsizetype start = 0;
    for (qsizetype lf = m_buffer.indexOf('\n', scanFrom); lf >= 0; lf = m_buffer.indexOf('\n', start)) {
        deliver(QByteArrayView(m_buffer).sliced(start, lf - start), std::nullopt);
        start = lf + 1;
    }
    if (start > 0)
        m_buffer.remove(0, start);
}

void OutputLineReader::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (!m_buffer.isEmpty())
        deliver(m_buffer, 1.0);
    m_buffer.clear();
}

std::optional<QString> OutputLineReader::decodeUtf8(QByteArrayView bytes)
{
    return decodeUtf8Strict(bytes);
}

void OutputLineReader::deliver(QByteArrayView bytes, std::optional<double> fraction)
{
    const std::optional<QString> decoded = decodeUtf8(bytes);
    if (!decoded)
        return;
    // QString::trimmed strips exactly the Unicode white space and line-break set.
    const QString line = decoded->trimmed();
    if (line.isEmpty())
        return;
    Logger::debug(m_logPrefix + line);
    const double value = fraction ? *fraction : m_classify(line);
    if (m_handler)
        m_handler(line, value);
}

} // namespace norvelle

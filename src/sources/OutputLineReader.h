#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

namespace norvelle {

// Receives one output line of a streamed tool run, already trimmed, with the progress fraction
// (0.0 to 1.0) that the tool's keyword table gives for it; 0.0 means no keyword matched.
using LineHandler = std::function<void(const QString& line, double fraction)>;

// Turns the byte chunks of one output stream into lines for a LineHandler.
//
// Lines are cut at the line-feed byte before decoding, so a multi-byte character never splits.
// Each line must be valid UTF-8 (else it is dropped), is trimmed of white space and line breaks
// at both ends (which removes a carriage return before the line feed), and is dropped when
// nothing is left. Every delivered line is logged at DEBUG as the prefix followed by the line.
// At end of file, text left without a line feed is delivered with the fraction 1.0.
class OutputLineReader {
public:
    using Classifier = double (*)(const QString& line);

    OutputLineReader(QString logPrefix, Classifier classify, LineHandler handler);

    void feed(QByteArrayView chunk);
    // End of file; later feeds are ignored.
    void finish();

    // The bytes as UTF-8, or none when any sequence is invalid or cut off.
    static std::optional<QString> decodeUtf8(QByteArrayView bytes);

private:
    void deliver(QByteArrayView bytes, std::optional<double> fraction);

    QString m_logPrefix;
    Classifier m_classify;
    LineHandler m_handler;
    QByteArray m_buffer;
    bool m_finished = false;
};

} // namespace norvelle

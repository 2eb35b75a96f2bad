#pragma once

#include "model/Cask.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>
#include <memory>
#include <optional>

namespace norvelle {

// Reads the cask catalogue while it downloads, so that little is left to do after the last
// byte. The bytes are split into the entries of the top-level array as they arrive; runs of
// whole entries are handed to the network pool, parsed and turned into casks there. Only a clean
// array of objects is read this way: for anything else the stream gives up and the caller
// reads the whole document with CatalogueReader, which then gives its answer or error.
class CatalogueStream {
public:
    // How many bytes of entries one pool task parses; an entry larger than that is a run of its own.
    static constexpr qsizetype defaultBatchBytes = qsizetype(256) << 10;

    explicit CatalogueStream(qsizetype batchBytes = defaultBatchBytes);
    // Waits for the batches being parsed; those not started are dropped.
    ~CatalogueStream();
    CatalogueStream(const CatalogueStream&) = delete;
    CatalogueStream& operator=(const CatalogueStream&) = delete;

    // The next bytes of the document, in order (the network thread's HttpClient::BodyObserver).
    void append(QByteArrayView piece) noexcept;

    // The casks as CatalogueReader::read reads the document: when every byte of it was
    // appended and it was a clean array of objects. None otherwise; the caller then reads it
    // with CatalogueReader.
    std::optional<QMap<QString, Cask>> finish(QByteArrayView document);

private:
    enum class Where {
        beforeArray,
        beforeFirst,
        afterEntry,
        afterComma,
        inEntry,
        inString,
        afterArray,
        failed
    };
    struct Shared;

    // In an entry: goes on to its end (then afterEntry, returning what follows) or the piece's.
    const char* scanEntry(const char* p, const char* end);
    void openEntry(const char* at, const char*& run);
    void closeEntry(const char* after, const char*& run);
    void closeBatch(const char* end, const char*& run);
    void fail() noexcept;

    const qsizetype m_batchBytes;
    std::shared_ptr<Shared> m_shared; // what the pool tasks touch
    Where m_where = Where::beforeArray;
    bool m_escaped = false;   // in a string, right after a backslash
    qsizetype m_depth = 0;    // in an entry, the brackets and braces open
    bool m_batchOpen = false; // m_batch has "[" and the start of an entry
    QByteArray m_batch;
    qsizetype m_appended = 0;
};

} // namespace norvelle

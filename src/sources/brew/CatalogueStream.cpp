#include "sources/brew/CatalogueStream.h"

#include "sources/brew/CatalogueEntry.h"
#include "util/Async.h"

#include <QThread>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <simdjson.h>
#include <utility>
#include <vector>

namespace norvelle {

namespace {

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

} // namespace

// Why the casks equal CatalogueReader::read's: the splitter itself checks everything outside the
// entries (whitespace, "[", the commas, "]", nothing after it), and each entry reaches simdjson
// whole, at the same depth (one array deep) and among the same neighbours as in the document, only
// with other runs of entries cut away. So when every batch parses, simdjson would have accepted the
// whole document as an array made only of objects too, and the entries, converted by the same code
// and inserted in document order, give the same map. Whatever fails goes back to the reader.
struct CatalogueStream::Shared {
    struct Batch {
        QByteArray text; // "[" entries "]", with simdjson's padding past the end
        std::vector<std::optional<Cask>> casks;
    };

    std::mutex mutex;
    std::condition_variable idle;
    std::vector<std::unique_ptr<Batch>> batches; // in document order
    size_t taken = 0;                            // the batches before it are being parsed or done
    int running = 0;                             // pool tasks
    bool stopped = false;                        // failed or dropped: nothing more is taken
    std::atomic<bool> failed{false};
    std::vector<std::unique_ptr<simdjson::dom::parser>> parsers; // idle, kept for the next batch
    const int maxTasks = std::clamp(QThread::idealThreadCount(), 1, 8);

    static bool parse(simdjson::dom::parser& parser, Batch& batch)
    {
        simdjson::dom::array entries;
        if (parser.parse(batch.text.constData(), size_t(batch.text.size()), false).get_array().get(entries) !=
            simdjson::SUCCESS)
            return false;
        batch.casks.reserve(entries.size());
        for (const simdjson::dom::element entry : entries) {
            simdjson::dom::object object;
            if (entry.get_object().get(object) != simdjson::SUCCESS)
                return false;
            batch.casks.push_back(catalogueCask(object));
        }
        batch.text = QByteArray();
        return true;
    }

    // Parses the batches nobody has taken yet, until there are none.
    void drain() noexcept
    {
        std::unique_lock lock(mutex);
        while (!stopped && taken < batches.size()) {
            Batch& batch = *batches[taken++];
            std::unique_ptr<simdjson::dom::parser> parser;
            if (!parsers.empty()) {
                parser = std::move(parsers.back());
                parsers.pop_back();
            }
            lock.unlock();
            bool parsed = false;
            try {
                if (!parser)
                    parser = std::make_unique<simdjson::dom::parser>();
                parsed = parse(*parser, batch);
            } catch (...) {
            }
            lock.lock();
            if (parser)
                parsers.push_back(std::move(parser)); // cannot throw: reserved when the batch came
            if (!parsed) {
                stopped = true;
                failed = true;
            }
        }
    }

    // Network thread: a full batch is queued, and a pool task started when those running
    // already have work enough. It is never queued on the pool nor run here: a batch no free
    // thread took waits for a running task or for finish().
    static void add(const std::shared_ptr<Shared>& shared, QByteArray text)
    {
        auto batch = std::make_unique<Batch>();
        batch->text = std::move(text);
        {
            std::lock_guard lock(shared->mutex);
            shared->batches.push_back(std::move(batch));
            shared->parsers.reserve(shared->batches.size());
            const size_t waiting = shared->batches.size() - shared->taken;
            if (shared->running >= shared->maxTasks || size_t(shared->running) >= waiting)
                return;
            ++shared->running;
        }
        const auto work = [shared] {
            shared->drain();
            std::lock_guard lock(shared->mutex);
            --shared->running;
            shared->idle.notify_all();
        };
        bool started = false;
        try {
            started = ioPool().tryStart(work);
        } catch (...) {
        }
        if (!started) {
            std::lock_guard lock(shared->mutex);
            --shared->running;
            shared->idle.notify_all();
        }
    }

    // Takes nothing more, and waits for the batches being parsed.
    void settle(bool stop)
    {
        std::unique_lock lock(mutex);
        stopped = stopped || stop;
        idle.wait(lock, [this] { return running == 0; });
    }
};

CatalogueStream::CatalogueStream(qsizetype batchBytes)
    : m_batchBytes(std::max<qsizetype>(batchBytes, 1)), m_shared(std::make_shared<Shared>())
{
}

CatalogueStream::~CatalogueStream()
{
    m_shared->settle(true);
}

void CatalogueStream::append(QByteArrayView piece) noexcept
{
    if (m_where != Where::failed && m_shared->failed.load(std::memory_order_relaxed))
        fail();
    if (m_where == Where::failed)
        return;
    m_appended += piece.size();
    const char* p = piece.data();
    const char* const end = p + piece.size();
    const char* run = m_batchOpen ? p : nullptr; // where the bytes still to be copied to m_batch begin
    try {
        while (p < end) {
            if (m_where == Where::inString) {
                if (m_escaped) {
                    m_escaped = false;
                    ++p;
                    continue;
                }
                while (p < end && *p != '"' && *p != '\\')
                    ++p;
                if (p < end) {
                    if (*p == '"')
                        m_where = Where::inEntry;
                    else
                        m_escaped = true;
                    ++p;
                }
                continue;
            }
            const char c = *p++;
            if (m_where == Where::inEntry) {
                if (c == '"')
                    m_where = Where::inString;
                else if (c == '{' || c == '[')
                    ++m_depth;
                else if ((c == '}' || c == ']') && --m_depth == 0)
                    closeEntry(p, run);
                continue;
            }
            if (isJsonSpace(c))
                continue;
            if (m_where == Where::beforeArray && c == '[') {
                m_where = Where::beforeFirst;
            } else if ((m_where == Where::beforeFirst || m_where == Where::afterComma) && c == '{') {
                openEntry(p - 1, run);
            } else if (m_where == Where::afterEntry && c == ',') {
                m_where = Where::afterComma;
            } else if ((m_where == Where::beforeFirst || m_where == Where::afterEntry) && c == ']') {
                closeBatch(p - 1, run);
                m_where = Where::afterArray;
            } else {
                fail();
                return;
            }
        }
        if (m_batchOpen)
            m_batch.append(run, end - run);
    } catch (...) {
        fail();
    }
}

void CatalogueStream::openEntry(const char* at, const char*& run)
{
    m_where = Where::inEntry;
    m_depth = 1;
    if (m_batchOpen)
        return;
    m_batch.reserve(m_batchBytes + qsizetype(simdjson::SIMDJSON_PADDING) + 2);
    m_batch.append('[');
    m_batchOpen = true;
    run = at;
}

void CatalogueStream::closeEntry(const char* after, const char*& run)
{
    m_where = Where::afterEntry;
    if (m_batch.size() + (after - run) >= m_batchBytes)
        closeBatch(after, run);
}

void CatalogueStream::closeBatch(const char* end, const char*& run)
{
    if (!m_batchOpen)
        return;
    m_batch.append(run, end - run);
    m_batch.append(']');
    if (m_batch.capacity() - m_batch.size() < qsizetype(simdjson::SIMDJSON_PADDING))
        m_batch.reserve(m_batch.size() + qsizetype(simdjson::SIMDJSON_PADDING));
    m_batchOpen = false;
    run = nullptr;
    Shared::add(m_shared, std::exchange(m_batch, QByteArray()));
}

void CatalogueStream::fail() noexcept
{
    m_where = Where::failed;
    m_batch = QByteArray();
    m_batchOpen = false;
    std::lock_guard lock(m_shared->mutex);
    m_shared->stopped = true;
    m_shared->failed = true;
}

std::optional<QMap<QString, Cask>> CatalogueStream::finish(QByteArrayView document)
{
    const bool whole = m_where == Where::afterArray && m_appended == document.size();
    if (whole)
        m_shared->drain();
    m_shared->settle(!whole);
    Shared& shared = *m_shared;
    std::lock_guard lock(shared.mutex);
    if (!whole || shared.failed)
        return std::nullopt;
    QMap<QString, Cask> casks;
    for (const std::unique_ptr<Shared::Batch>& batch : shared.batches) {
        for (std::optional<Cask>& cask : batch->casks) {
            if (cask)
                casks.insert(cask->caskName, std::move(*cask));
        }
    }
    shared.batches.clear();
    shared.parsers.clear();
    m_where = Where::failed; // spent
    return casks;
}

} // namespace norvelle

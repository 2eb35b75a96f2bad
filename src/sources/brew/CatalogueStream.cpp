#include "sources/brew/CatalogueStream.h"

#include "sources/brew/CatalogueEntry.h"
#include "util/Async.h"

#include <QThread>
#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <simdjson.h>
#include <utility>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace norvelle {

namespace {

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// The first '"' or '\\' from p on, or end.
const char* quoteOrBackslash(const char* p, const char* const end)
{
    constexpr quint64 ones = 0x0101010101010101U;
    constexpr quint64 highs = 0x8080808080808080U;
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        const quint64 quotes = word ^ (ones * '"');
        const quint64 backslashes = word ^ (ones * '\\');
        // Nonzero exactly when a byte of either is zero, that is when the word holds one of them.
        if ((((quotes - ones) & ~quotes) | ((backslashes - ones) & ~backslashes)) & highs)
            break;
    }
    while (p < end && *p != '"' && *p != '\\')
        ++p;
    return p;
}

#if defined(__SSE2__)
// The bytes of 64 that the splitter looks at, one bit each (the first byte in the lowest bit).
struct Block {
    quint64 quotes = 0, backslashes = 0, opens = 0, closes = 0;

    explicit Block(const char* p)
    {
        // '[' and '{', ']' and '}' differ only in the bit 0x20.
        const __m128i caseBit = _mm_set1_epi8(0x20);
        for (int i = 0; i < 4; ++i) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            const __m128i folded = _mm_or_si128(bytes, caseBit);
            quotes |= bits(bytes, '"') << (16 * i);
            backslashes |= bits(bytes, '\\') << (16 * i);
            opens |= bits(folded, '{') << (16 * i);
            closes |= bits(folded, '}') << (16 * i);
        }
    }

    static quint64 bits(__m128i bytes, char c)
    {
        return quint16(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
    }
};

// Each bit the parity of the bits up to it.
quint64 prefixXor(quint64 bits)
{
    for (int shift = 1; shift < 64; shift *= 2)
        bits ^= bits << shift;
    return bits;
}
#endif

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
    std::vector<QByteArray> spareTexts;                          // parsed batches' buffers, for the next ones
    // Half the cores at most: the network thread and the rest of the discovery need the others,
    // and one task already parses faster than the catalogue arrives.
    const int maxTasks = std::clamp(QThread::idealThreadCount() / 2, 1, 4);

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
        return true;
    }

    // Parses the batches nobody has taken yet, until there are none. A pool task counts as
    // ended under the same lock, so a batch added meanwhile always finds it running or gone.
    void drain(bool asTask) noexcept
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
            // Neither can throw: both were reserved when the batch came.
            if (parser)
                parsers.push_back(std::move(parser));
            if (parsed) {
                batch.text.truncate(0);
                spareTexts.push_back(std::move(batch.text));
            } else {
                stopped = true;
                failed = true;
            }
        }
        if (asTask) {
            --running;
            idle.notify_all();
        }
    }

    // Network thread: a full batch is queued, and a pool task started when those running
    // already have work enough. It is never queued on the pool nor run here: a batch no free
    // thread took waits for a running task or for finish(). The tasks only compute, so they run
    // on the network pool, sharing the processor with the network thread as equals; a thread
    // ioPool made from the network thread would keep its lower share for the tools it runs.
    static void add(const std::shared_ptr<Shared>& shared, QByteArray text)
    {
        auto batch = std::make_unique<Batch>();
        batch->text = std::move(text);
        {
            std::lock_guard lock(shared->mutex);
            shared->batches.push_back(std::move(batch));
            shared->parsers.reserve(shared->batches.size());
            shared->spareTexts.reserve(shared->batches.size());
            const size_t waiting = shared->batches.size() - shared->taken;
            if (shared->running >= shared->maxTasks || size_t(shared->running) >= waiting)
                return;
            ++shared->running;
        }
        const auto work = [shared] { shared->drain(true); };
        bool started = false;
        try {
            started = networkPool().tryStart(work);
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
            if (m_where == Where::inEntry || m_where == Where::inString) {
                p = scanEntry(p, end);
                if (m_where == Where::afterEntry)
                    closeEntry(p, run);
                continue;
            }
            const char c = *p++;
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

const char* CatalogueStream::scanEntry(const char* p, const char* const end)
{
    // Kept in locals, the state stays in registers.
    bool inString = m_where == Where::inString;
    bool escaped = m_escaped;
    qsizetype depth = m_depth;
    while (p < end) {
        const char* limit = end;
#if defined(__SSE2__)
        if (!escaped && end - p >= 64) {
            const Block block(p);
            if (block.backslashes == 0) {
                // Without escapes, a byte is in a string when an odd number of quotes precede it.
                const quint64 strings = prefixXor(block.quotes) ^ (inString ? ~quint64(0) : 0);
                for (quint64 brackets = (block.opens | block.closes) & ~strings; brackets != 0;
                     brackets &= brackets - 1) {
                    const int at = std::countr_zero(brackets);
                    if (block.opens >> at & 1) {
                        ++depth;
                    } else if (--depth == 0) {
                        m_where = Where::afterEntry;
                        m_depth = 0;
                        return p + at + 1;
                    }
                }
                inString = strings >> 63;
                p += 64;
                continue;
            }
            limit = p + 64; // byte by byte, escapes and all
        }
#endif
        while (p < limit) {
            if (inString) {
                if (escaped) {
                    escaped = false;
                    ++p;
                    continue;
                }
                p = quoteOrBackslash(p, limit);
                if (p == limit)
                    break;
                if (*p++ == '"')
                    inString = false;
                else
                    escaped = true;
                continue;
            }
            const char c = *p++;
            if (c == '"') {
                inString = true;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if ((c == '}' || c == ']') && --depth == 0) {
                m_where = Where::afterEntry;
                m_depth = 0;
                return p;
            }
        }
    }
    m_where = inString ? Where::inString : Where::inEntry;
    m_escaped = escaped;
    m_depth = depth;
    return p;
}

void CatalogueStream::openEntry(const char* at, const char*& run)
{
    m_where = Where::inEntry;
    m_depth = 1;
    if (m_batchOpen)
        return;
    {
        std::lock_guard lock(m_shared->mutex);
        if (!m_shared->spareTexts.empty()) {
            m_batch = std::move(m_shared->spareTexts.back());
            m_shared->spareTexts.pop_back();
        }
    }
    // Room for the entry that passes the size, so the batch is not copied to grow.
    m_batch.reserve(m_batchBytes + m_batchBytes / 4 + qsizetype(simdjson::SIMDJSON_PADDING) + 2);
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
        m_shared->drain(false);
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
    shared.spareTexts.clear();
    m_where = Where::failed; // spent
    return casks;
}

} // namespace norvelle

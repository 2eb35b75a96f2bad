#pragma once

#include "platform/http/HttpClient.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QUrl>
#include <condition_variable>
#include <curl/curl.h>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

class QFile;

namespace norvelle {

// One request as HttpClient prepares it and HttpEngine runs it. The caller owns it, and either
// blocks in HttpEngine::run or keeps it alive until the end callback of HttpEngine::start,
// while a network thread fills it in; the libcurl callbacks see it through their user pointer
// and never let an exception escape into libcurl.
struct HttpTransfer {
    using Clock = std::chrono::steady_clock;

    // How a transfer ended, as far as our callbacks and checks know; libcurl's code says the rest.
    enum class End { running, done, cancelled, timedOut, tooLarge, fileFailed, outOfMemory };
    // Where the transfer is in the engine: waiting for a connection slot, running, or ended.
    enum class Stage { created, queued, admitted, ended };

    // Set by the caller before run().
    CURL* handle = nullptr;
    std::chrono::milliseconds idleTimeout{};
    std::chrono::milliseconds deadline{};
    qint64 maxBytes = 0;                                    // counted after decompression
    QByteArray* body = nullptr;                             // get: the body in memory
    const HttpClient::BodyObserver* bodyObserver = nullptr; // get: sees each piece once kept
    QFile* file = nullptr;                                  // download: the body on disk
    QString filePath;                                       // download: where it ends, for errors
    char errorText[CURL_ERROR_SIZE] = {};
    const HttpClient::ProgressHandler* progress = nullptr; // called on the caller's thread
    // What went wrong outside libcurl: what the progress handler or setUp threw, or why a
    // redirect was not followed.
    std::exception_ptr callbackError;
    // The address asked now (the last redirect's target) and its scheme://host:port, for the caps.
    QUrl url;
    std::string hostKey;

    // Network thread only while running; the caller's once run() has returned.
    Clock::time_point started{};
    Clock::time_point lastActivity{};
    qint64 received = 0;
    qint64 headerBytes = 0;
    QList<QPair<QByteArray, QByteArray>> headers;
    End end = End::running;
    CURLcode result = CURLE_OK;
    int fileErrno = 0;           // the system's reason when writing the file failed
    int socketErrno = 0;         // the system's reason when a socket could not be opened
    QByteArray redirectTarget;   // where the answer, a redirect ended unread at its head, leads
    bool redirectUnreadable = false; // that target is its Location as it came, which cannot be read
    int redirects = 0;           // followed so far
    bool secure = false;         // an address so far was https, so redirects must stay on it
    Clock::duration ranBefore{}; // run on the hosts redirected from, for the deadline

    // Shared between the two threads under the engine's mutex.
    std::mutex* engineMutex = nullptr;
    Stage stage = Stage::created;
    std::size_t worker = 0;
    bool finished = false;
    bool cancelRequested = false;
    bool progressPending = false;
    qint64 progressReceived = 0;
    qint64 progressExpected = -1;
    std::condition_variable changed;

    // When set, makes the handle on the network thread when the transfer's turn comes; false or
    // an exception (kept in callbackError) ends it unstarted.
    std::function<bool(HttpTransfer&)> setUp;
    // HttpEngine::start only: called once the transfer has ended, and the link that ends it
    // when its token is stopped (released by the owner after the end).
    std::function<void()> onEnd;
    std::optional<std::stop_callback<std::function<void()>>> stopLink;
};

} // namespace norvelle

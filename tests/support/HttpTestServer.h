#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests of stream URLs: serves files
// with range requests (206 partial content), 404 for anything else, and the
// misbehaviours a real server shows: one that accepts and never answers, one
// that stops sending in the middle of a file, one that ignores ranges.
//
// Threads: start() and stop() from the test's thread; each connection is
// answered on a thread of its own. stop() (also run by the destructor) ends
// every connection, stalled ones included.

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace stillora::test {

class HttpTestServer {
public:
    enum class Behaviour {
        Ranges,      // answers ranges with 206, the whole file with 200
        NoRanges,    // always the whole file with 200, no Accept-Ranges
        NeverAnswer, // reads the request and sends nothing
        StallAfter,  // a response that reaches byte `stallAfter` stops sending there
    };

    HttpTestServer() = default;
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // Serves the file at `path` under the URL path `urlPath` ("/clip.mp4").
    void serve(const std::string& urlPath, const QString& path,
               Behaviour behaviour = Behaviour::Ranges, int64_t stallAfter = 0);
    // Listens on a free port of 127.0.0.1; false when no socket can be had.
    bool start();
    void stop();
    int port() const { return port_; }
    std::string url(const std::string& urlPath) const;
    // Requests answered so far (any path).
    int requests() const { return requests_; }
    // Requests that carried a Range header.
    int rangeRequests() const { return rangeRequests_; }

private:
    struct Entry {
        QString path;
        Behaviour behaviour;
        int64_t stallAfter;
    };
    void acceptLoop();
    void answer(int socket);
    // Waits until stop(); used by the stalling behaviours.
    void holdUntilStopped();

    std::map<std::string, Entry> entries_;
    int listener_ = -1;
    int port_ = 0;
    std::thread acceptor_;
    std::mutex lock_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::vector<int> open_;             // connection sockets, under lock_
    std::vector<std::thread> handlers_; // under lock_
    std::atomic<int> requests_{0};
    std::atomic<int> rangeRequests_{0};
};

// A port on 127.0.0.1 that nothing listens on (bound, then released).
int unusedPort();

} // namespace stillora::test

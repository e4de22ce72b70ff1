#include "support/HttpTestServer.h"

#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <sstream>

namespace stillora::test {

namespace {

bool sendAll(int socket, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(socket, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool sendText(int socket, const std::string& text) {
    return sendAll(socket, text.data(), text.size());
}

// Reads up to the blank line that ends the request's headers.
std::string readRequest(int socket) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0) return {};
        request.append(buffer, static_cast<size_t>(got));
    }
    return request;
}

// "Range: bytes=FIRST-[LAST]" of the request, case-insensitive name.
bool rangeOf(const std::string& request, int64_t* first, int64_t* last) {
    std::string lower = request;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = lower.find("\r\nrange: bytes=");
    if (at == std::string::npos) return false;
    const char* p = request.c_str() + at + std::strlen("\r\nrange: bytes=");
    char* end = nullptr;
    *first = std::strtoll(p, &end, 10);
    *last = -1;
    if (end && *end == '-' && std::isdigit(static_cast<unsigned char>(end[1])))
        *last = std::strtoll(end + 1, nullptr, 10);
    return true;
}

} // namespace

HttpTestServer::~HttpTestServer() {
    stop();
}

void HttpTestServer::serve(const std::string& urlPath, const QString& path, Behaviour behaviour,
                           int64_t stallAfter) {
    std::lock_guard<std::mutex> lock(lock_);
    entries_[urlPath] = {path, behaviour, stallAfter};
}

bool HttpTestServer::start() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ < 0) return false;
    const int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener_);
        listener_ = -1;
        return false;
    }
    port_ = ntohs(address.sin_port);
    stopping_ = false;
    acceptor_ = std::thread(&HttpTestServer::acceptLoop, this);
    return true;
}

void HttpTestServer::stop() {
    if (listener_ < 0) return;
    std::vector<std::thread> handlers;
    {
        std::lock_guard<std::mutex> lock(lock_);
        stopping_ = true;
        for (int socket : open_)
            ::shutdown(socket, SHUT_RDWR);
    }
    stopped_.notify_all();
    ::shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    {
        std::lock_guard<std::mutex> lock(lock_);
        handlers.swap(handlers_);
    }
    for (std::thread& handler : handlers)
        handler.join();
    ::close(listener_);
    listener_ = -1;
}

std::string HttpTestServer::url(const std::string& urlPath) const {
    return "http://127.0.0.1:" + std::to_string(port_) + urlPath;
}

void HttpTestServer::acceptLoop() {
    for (;;) {
        const int socket = ::accept(listener_, nullptr, nullptr);
        std::lock_guard<std::mutex> lock(lock_);
        if (socket < 0 || stopping_) {
            if (socket >= 0) ::close(socket);
            return;
        }
        open_.push_back(socket);
        handlers_.emplace_back([this, socket] {
            answer(socket);
            std::lock_guard<std::mutex> lock(lock_);
            open_.erase(std::find(open_.begin(), open_.end(), socket));
            ::close(socket);
        });
    }
}

void HttpTestServer::holdUntilStopped() {
    std::unique_lock<std::mutex> lock(lock_);
    stopped_.wait(lock, [this] { return stopping_; });
}

void HttpTestServer::answer(int socket) {
    const std::string request = readRequest(socket);
    if (request.empty()) return;
    ++requests_;
    std::istringstream line(request);
    std::string method, target;
    line >> method >> target;
    Entry entry;
    bool found;
    {
        std::lock_guard<std::mutex> lock(lock_);
        auto it = entries_.find(target);
        found = it != entries_.end();
        if (found) entry = it->second;
    }
    QByteArray data;
    if (found) {
        QFile file(entry.path);
        found = file.open(QIODevice::ReadOnly);
        if (found) data = file.readAll();
    }
    if (!found) {
        const std::string body = "not found\n";
        sendText(socket, "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        return;
    }
    if (entry.behaviour == Behaviour::NeverAnswer) {
        holdUntilStopped();
        return;
    }
    const int64_t size = data.size();
    int64_t first = 0, last = size - 1;
    const bool ranged = entry.behaviour != Behaviour::NoRanges && rangeOf(request, &first, &last);
    if (ranged) ++rangeRequests_;
    if (last < 0 || last >= size) last = size - 1;
    if (ranged && first >= size) {
        sendText(socket, "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                             std::to_string(size) +
                             "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        return;
    }
    std::string headers = ranged ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    headers += "Content-Type: application/octet-stream\r\n";
    if (entry.behaviour != Behaviour::NoRanges) headers += "Accept-Ranges: bytes\r\n";
    if (ranged)
        headers += "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) +
                   "/" + std::to_string(size) + "\r\n";
    headers +=
        "Content-Length: " + std::to_string(last - first + 1) + "\r\nConnection: close\r\n\r\n";
    if (!sendText(socket, headers) || method == "HEAD") return;
    int64_t count = last - first + 1;
    if (entry.behaviour == Behaviour::StallAfter && first < entry.stallAfter) {
        // A response that runs through the stall point stops there; one
        // asked for beyond it (a reader looking at the end) is answered.
        const int64_t left = entry.stallAfter - first;
        if (left < count) {
            sendAll(socket, data.constData() + first, static_cast<size_t>(left));
            holdUntilStopped();
            return;
        }
    }
    sendAll(socket, data.constData() + first, static_cast<size_t>(count));
}

int unusedPort() {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);
    ::close(socket);
    return port;
}

} // namespace stillora::test

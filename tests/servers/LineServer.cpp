#include "servers/LineServer.h"

#include "servers/Loopback.h"

namespace {

// No test waits longer than this for anything, so a fault can never hang
// the suite.
constexpr auto waitLimit = std::chrono::seconds(30);

} // namespace

std::vector<LineServer::Step> LineServer::inChunks(const std::string& bytes, size_t chunk, int pauseMs) {
    std::vector<Step> steps;
    for (size_t at = 0; at < bytes.size(); at += chunk) {
        steps.push_back(send(bytes.substr(at, chunk)));
        steps.push_back(pause(pauseMs));
    }
    return steps;
}

LineServer::LineServer(std::vector<Step> script) {
    listener = listenOnLoopback(0, listenPort);
    worker = std::thread([this, script = std::move(script)]() mutable { run(std::move(script)); });
}

LineServer::~LineServer() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    stopped.notify_all();
    worker.join();
    ::closesocket(listener);
}

std::string LineServer::received() {
    std::lock_guard lock(mutex);
    return fromClient;
}

bool LineServer::waitForStop(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex);
    return stopped.wait_for(lock, limit, [this] { return stopping; });
}

void LineServer::run(std::vector<Step> script) {
    // Accept with a bound: a client that never comes must not hold the test.
    SOCKET peer = INVALID_SOCKET;
    for (auto waited = std::chrono::milliseconds(0); waited < waitLimit;
         waited += std::chrono::milliseconds(50)) {
        if (readable(listener, std::chrono::milliseconds(50))) {
            peer = ::accept(listener, nullptr, nullptr);
            break;
        }
        std::lock_guard lock(mutex);
        if (stopping)
            return;
    }
    if (peer == INVALID_SOCKET)
        return;
    BOOL noDelay = TRUE;
    ::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);

    auto collect = [&] {
        char buffer[4096];
        while (readable(peer, std::chrono::milliseconds(0))) {
            const int count = ::recv(peer, buffer, sizeof buffer, 0);
            if (count <= 0)
                break;
            std::lock_guard lock(mutex);
            fromClient.append(buffer, static_cast<size_t>(count));
        }
    };

    bool open = true;
    for (const Step& step : script) {
        collect();
        switch (step.kind) {
        case Step::Send:
            ::send(peer, step.bytes.data(), static_cast<int>(step.bytes.size()), 0);
            break;
        case Step::Pause:
            std::this_thread::sleep_for(std::chrono::milliseconds(step.milliseconds));
            break;
        case Step::Stall:
            waitForStop(waitLimit);
            break;
        case Step::Close:
            ::shutdown(peer, 1);
            collect();
            ::closesocket(peer);
            open = false;
            break;
        case Step::Reset: {
            linger hard{1, 0};
            ::setsockopt(peer, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
            ::closesocket(peer);
            open = false;
            break;
        }
        }
        if (!open)
            return;
    }
    // Script done: keep the connection until the test lets the server go, so
    // that the client sees the end only where the script puts it.
    waitForStop(waitLimit);
    collect();
    ::closesocket(peer);
}

int closedLoopbackPort() {
    int port = 0;
    SOCKET s = listenOnLoopback(0, port);
    ::closesocket(s);
    return port;
}

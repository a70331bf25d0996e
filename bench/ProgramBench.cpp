// The real pellmor.exe against a real server, as a user meets it: does the
// window answer while it checks, how long does the first check take, what
// does it hold afterwards, and how fast does it quit.
//
//   program_bench --pellmor PATH --port N --user U --password P --messages N
//                 [--poplib SECONDS] [--text BYTES] [--rounds R]
//
// For each round the program starts with one profile on the server (a fresh
// start, so its check is a first check of every message). A probe sends
// WM_NULL to the "Pellmor" window every 50 ms and records how long each
// takes to be answered. Printed: the idle baseline (a second with nothing to
// do) and the longest wait during (a) the first check and the hand-over of
// its result, (b) a second check that finds nothing new,
// (c) a check of a server that accepts and never answers, and the time
// "E&xit" takes during (c); the first check's time against poplib's (timed
// natively by tools/run-bench on the same server); the program's peak
// memory against its memory before the check and the bytes of text a check
// keeps (counted by the same poplib run).
#include "accounts/AccountList.h"
#include "e2e/DebuggedProgram.h"
#include "net/MsgException.h"
#include "ui/resource.h"

#include <windows.h>
#include <psapi.h>
#include <winsock.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Replaces the stored profiles by one account on 127.0.0.1:port, stored by
// the program's own profile store.
void storeProfile(const std::string& user, const std::string& password, int port) {
    accounts.clear();
    auto account = std::make_unique<Account>(accounts.randomId());
    account->host = "127.0.0.1";
    account->user = user;
    account->password = password;
    account->port = static_cast<unsigned>(port);
    account->showIcon = true;
    accounts.append(account);
    accounts.saveProfiles();
    accounts.clear();
}

// A server that takes connections and never says a word.
class SilentServer {
public:
    SilentServer() : listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        int length = sizeof address;
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener, 5) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw MsgException("silent server: cannot listen");
        port = ntohs(address.sin_port);
        acceptor = std::thread([this] {
            for (;;) {
                const SOCKET taken = accept(listener, nullptr, nullptr);
                if (taken == INVALID_SOCKET)
                    return;
                held.push_back(taken);
            }
        });
    }
    ~SilentServer() {
        closesocket(listener);
        acceptor.join();
        for (SOCKET s : held)
            closesocket(s);
    }
    int port = 0;

private:
    SOCKET listener;
    std::vector<SOCKET> held;
    std::thread acceptor;
};

struct Memory {
    double pagefileMiB = 0;
    double peakMiB = 0;
};

Memory memoryOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    Memory memory;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (!process)
        return memory;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process, &counters, sizeof counters)) {
        memory.pagefileMiB = counters.PagefileUsage / 1048576.0;
        memory.peakMiB = counters.PeakPagefileUsage / 1048576.0;
    }
    CloseHandle(process);
    return memory;
}

// Sends WM_NULL every 50 ms and keeps the longest wait for an answer, and
// the most memory the program held at those times: Wine's own peak figure
// is only the current one.
class Probe {
public:
    explicit Probe(HWND window) : window(window) {
        thread = std::thread([this] {
            while (!stopping) {
                const auto start = Clock::now();
                DWORD_PTR result = 0;
                SendMessageTimeoutA(this->window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
                const double waited = millisecondsSince(start);
                raise(longest, waited);
                raise(mostMemory, memoryOf(this->window).pagefileMiB);
                Sleep(50);
            }
        });
    }
    ~Probe() {
        stopping = true;
        thread.join();
    }
    // The longest wait since the last call.
    double takeLongest() { return longest.exchange(0.0); }
    double mostMiB() const { return mostMemory.load(); }

private:
    static void raise(std::atomic<double>& most, double value) {
        double seen = most.load();
        while (value > seen && !most.compare_exchange_weak(seen, value))
            ;
    }

    HWND window;
    std::atomic<bool> stopping{false};
    std::atomic<double> longest{0.0};
    std::atomic<double> mostMemory{0.0};
    std::thread thread;
};

HWND findPellmor(DWORD milliseconds) {
    for (const auto start = Clock::now(); millisecondsSince(start) < milliseconds; Sleep(20)) {
        if (HWND window = FindWindowA("Pellmor", nullptr))
            return window;
    }
    return nullptr;
}

size_t countTraces(DebuggedProgram& program, const std::string& text) {
    const std::vector<std::string> traces = program.traces();
    return static_cast<size_t>(std::count_if(traces.begin(), traces.end(), [&](const std::string& trace) {
        return trace.find(text) != std::string::npos;
    }));
}

// Waits until `text` has been traced `count` times; answers the milliseconds
// it took, or -1.
double waitForTraces(DebuggedProgram& program, const std::string& text, size_t count, DWORD milliseconds) {
    const auto start = Clock::now();
    while (countTraces(program, text) < count) {
        if (millisecondsSince(start) > milliseconds)
            return -1;
        Sleep(5);
    }
    return millisecondsSince(start);
}

struct Round {
    double idle = 0, firstWait = 0, firstCheck = 0, secondWait = 0, secondCheck = 0;
    double stallWait = 0, exitTime = 0, idleExitTime = 0;
    Memory before, after;
};

// "E&xit" as the tray menu sends it: the milliseconds until the program has
// ended, or -1.
double timeExit(DebuggedProgram& program, HWND window) {
    const auto start = Clock::now();
    PostMessageA(window, WM_COMMAND, ID_EXIT, 0);
    DWORD code = 0;
    return program.waitForExit(60000, code) ? millisecondsSince(start) : -1;
}

// Dovecot says this in its reply to "quit": the check's last step.
const char* const farewell = "Logging out";

Round runRound(const std::string& pellmor, const std::string& user, const std::string& password, int port) {
    Round round;
    storeProfile(user, password, port);
    {
        DebuggedProgram program("\"" + pellmor + "\"");
        HWND window = findPellmor(20000);
        if (!window)
            throw MsgException("pellmor.exe did not make its window");
        Probe probe(window);
        round.before = memoryOf(window);
        const auto start = Clock::now();
        if (waitForTraces(program, farewell, 1, 600000) < 0)
            throw MsgException("the first check did not end");
        round.firstCheck = millisecondsSince(start);
        // The window takes the check's result after its last step: the
        // hand-over belongs to the check.
        Sleep(1000);
        round.firstWait = probe.takeLongest();
        round.after = memoryOf(window);
        round.after.peakMiB = std::max({round.after.peakMiB, round.after.pagefileMiB, probe.mostMiB()});

        const auto second = Clock::now();
        PostMessageA(window, WM_APP, 0, 0); // what a second start sends: check every account
        if (waitForTraces(program, farewell, 2, 600000) < 0)
            throw MsgException("the second check did not end");
        round.secondCheck = millisecondsSince(second);
        Sleep(500);
        round.secondWait = probe.takeLongest();
        Sleep(1000);
        round.idle = probe.takeLongest();
        round.idleExitTime = timeExit(program, window);
    }

    SilentServer silent;
    storeProfile(user, password, silent.port);
    DebuggedProgram program("\"" + pellmor + "\"");
    HWND window = findPellmor(20000);
    if (!window)
        throw MsgException("pellmor.exe did not make its window");
    {
        Probe probe(window);
        Sleep(3000);
        round.stallWait = probe.takeLongest();
    }
    round.exitTime = timeExit(program, window);
    return round;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::string pellmor, user = "alice", password;
    int port = 0, messages = 0, rounds = 3;
    double poplibSeconds = 0, textBytes = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--pellmor")
            pellmor = value;
        else if (name == "--port")
            port = std::atoi(value);
        else if (name == "--user")
            user = value;
        else if (name == "--password")
            password = value;
        else if (name == "--messages")
            messages = std::atoi(value);
        else if (name == "--poplib")
            poplibSeconds = std::atof(value);
        else if (name == "--text")
            textBytes = std::atof(value);
        else if (name == "--rounds")
            rounds = std::max(1, std::atoi(value));
    }
    if (pellmor.empty() || port == 0) {
        std::fprintf(stderr, "usage: program_bench --pellmor PATH --port N --user U --password P --messages N "
                             "[--poplib SECONDS] [--text BYTES] [--rounds R]\n");
        return 2;
    }
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    try {
        std::vector<Round> results;
        for (int r = 0; r < rounds; ++r)
            results.push_back(runRound(pellmor, user, password, port));
        const auto pick = [&](double Round::*field) {
            std::vector<double> values;
            for (const Round& round : results)
                values.push_back(round.*field);
            return median(values);
        };
        std::vector<double> before, after, peak;
        for (const Round& round : results) {
            before.push_back(round.before.pagefileMiB);
            after.push_back(round.after.pagefileMiB);
            peak.push_back(round.after.peakMiB);
        }
        std::printf("pellmor.exe, %d messages, median of %d rounds\n", messages, rounds);
        std::printf("window's longest wait (ms): idle %.1f | first check %.1f | second check %.1f | stalled "
                    "server %.1f (goal 100, second check 20)\n",
                    pick(&Round::idle), pick(&Round::firstWait), pick(&Round::secondWait), pick(&Round::stallWait));
        std::printf("exit: idle %.0f ms | during the stalled check %.0f ms (goal 2000)\n", pick(&Round::idleExitTime),
                pick(&Round::exitTime));
        std::printf("first check: %.0f ms", pick(&Round::firstCheck));
        if (poplibSeconds > 0)
            std::printf(" | poplib %.0f ms | ratio %.3f (goal 0.25)", poplibSeconds * 1000,
                        pick(&Round::firstCheck) / (poplibSeconds * 1000));
        std::printf("\nsecond check (nothing new): %.0f ms\n", pick(&Round::secondCheck));
        std::printf("memory (MiB): before the check %.1f | after it %.1f | peak %.1f | peak added %.1f\n",
                    median(before), median(after), median(peak), median(peak) - median(before));
        if (textBytes > 0) {
            const double textMiB = textBytes / 1048576.0;
            std::printf("text kept %.1f MiB | added / text %.2f (goal 1.5)\n", textMiB,
                        (median(peak) - median(before)) / textMiB);
        }
    } catch (const MsgException& failure) {
        std::fprintf(stderr, "program_bench: %s\n", failure.message().c_str());
        return 1;
    }
    return 0;
}

// How long a mail check holds the program, against the same command
// exchange done by a reader that keeps nothing.
//
//   check_bench [--server PATH] [--messages N[,N...]] [--rounds R] [--dovecot INI]
//
// For each mailbox size a scripted POP3 server (pop3server.exe, a process of
// its own so that its memory is not counted here) serves N generated
// messages on loopback. Printed per size: the baseline's time, the first
// check's time and rate, the ratio of the two (the goal is at most 1.5),
// the time the message menu's decoders take over the fetched records (every
// header, the subject and sender, the first lines), the ratio of check and
// decoding together to the baseline, the second check's time, and the
// memory the first check's records hold.
//
// With --dovecot (the fixture.ini of a Dovecot fixture started with
// PELLMOR_DOVECOT_BULK, as tools/run-bench does), the first check of each
// generated mailbox follows, in plain text and over implicit TLS against the
// same Dovecot in the same run, and the ratio of the two.
#include "mail/HeaderText.h"
#include "mail/MimeBody.h"
#include "net/MessageList.h"
#include "net/POP3Client.h"
#include "net/MsgException.h"
#include "support/TestCa.h"

#include <windows.h>
#include <psapi.h>
#include <winsock.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

size_t privateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

size_t peakPrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakPagefileUsage;
}

// The scripted server as a child process, ended with the benchmark.
class ServerProcess {
public:
    ServerProcess(const std::string& path, int messages) {
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        portFile = std::string(folder) + "pellmor-bench-port-" + std::to_string(GetCurrentProcessId()) + "-" +
                   std::to_string(messages) + ".txt";
        DeleteFileA(portFile.c_str());
        std::string commandLine = "\"" + path + "\" --generate " + std::to_string(messages) +
                                  " --port 0 --port-file \"" + portFile + "\" --max-seconds 1800";
        // The server's chatter would break up the table.
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        quiet = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = quiet;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                            &process))
            throw MsgException(("cannot start " + path).c_str());
        for (int waited = 0; waited < 600 && port == 0; ++waited) {
            std::ifstream in(portFile);
            if (!(in >> port))
                port = 0;
            if (port == 0)
                Sleep(100);
        }
        if (port == 0)
            throw MsgException("the server did not say its port");
    }
    ~ServerProcess() {
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, 5000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        CloseHandle(quiet);
        DeleteFileA(portFile.c_str());
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int port = 0;

private:
    PROCESS_INFORMATION process{};
    HANDLE quiet = INVALID_HANDLE_VALUE;
    std::string portFile;
};

// The baseline: the same commands, a buffered reader of lines that keeps
// nothing and parses nothing beyond the end of each reply.
class PlainSession {
public:
    explicit PlainSession(int port) : handle(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        address.sin_port = htons(static_cast<u_short>(port));
        if (connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw MsgException("baseline: connect failed");
        line(); // greeting
    }
    ~PlainSession() { closesocket(handle); }

    void command(const std::string& text, bool multiLine) {
        const std::string data = text + "\r\n";
        send(handle, data.data(), static_cast<int>(data.size()), 0);
        line();
        if (multiLine)
            while (line() != ".")
                ;
    }

private:
    // The next line; a view into the buffer, valid until the next call.
    std::string_view line() {
        for (;;) {
            const char* begin = buffer + start;
            const char* found = static_cast<const char*>(memchr(begin, '\n', end - start));
            if (found) {
                start = static_cast<size_t>(found - buffer) + 1;
                size_t length = static_cast<size_t>(found - begin);
                if (length && begin[length - 1] == '\r')
                    --length;
                return {begin, length};
            }
            if (start > 0) {
                std::memmove(buffer, buffer + start, end - start);
                end -= start;
                start = 0;
            }
            if (end == sizeof buffer)
                end = 0; // an overlong line: drop what we have
            const int count = recv(handle, buffer + end, static_cast<int>(sizeof buffer - end), 0);
            if (count <= 0)
                throw MsgException("baseline: connection ended");
            end += static_cast<size_t>(count);
        }
    }

    SOCKET handle;
    char buffer[16 * 1024];
    size_t start = 0;
    size_t end = 0;
};

double baselineCheck(int port, int messages) {
    const auto start = Clock::now();
    PlainSession session(port);
    session.command("user alice", false);
    session.command("pass secret", false);
    session.command("stat", false);
    session.command("uidl", true);
    for (int n = 1; n <= messages; ++n) {
        session.command("list " + std::to_string(n), false);
        session.command("top " + std::to_string(n) + " 30", true);
    }
    session.command("quit", false);
    return secondsSince(start);
}

struct Mailbox {
    int port = 0;
    std::string user = "alice", password = "secret", host = "127.0.0.1";
    ConnectionSecurity security = ConnectionSecurity::None;
};

double pellmorCheck(const Mailbox& mailbox, MessageList& list, int expected) {
    const auto start = Clock::now();
    POP3::Client client;
    client.setSecurity(mailbox.security);
    client.login(mailbox.user.c_str(), mailbox.password.c_str(), mailbox.host.c_str(), mailbox.port);
    const int fetched = client.scan(list);
    client.quit();
    const double seconds = secondsSince(start);
    if (fetched != expected)
        throw MsgException(("fetched " + std::to_string(fetched) + ", expected " + std::to_string(expected)).c_str());
    return seconds;
}

// Everything the message menu decodes of the records, as it builds itself.
double decodeAll(const MessageList& list) {
    const auto start = Clock::now();
    size_t shown = 0;
    for (const POP3::Message& message : list) {
        for (const Header& header : message.headers())
            shown += decodeHeaderText(header.value).size();
        shown += decodeHeaderText(headerValue(message.headers(), "Subject")).size();
        shown += decodeHeaderText(headerValue(message.headers(), "From")).size();
        shown += previewBody(message.headers(), message.lines()).lines.size();
    }
    const double seconds = secondsSince(start);
    if (shown == 0)
        throw MsgException("nothing decoded");
    return seconds;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string siblingPath(const char* name) {
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, length);
    const size_t slash = path.find_last_of("\\/");
    // bench/check_bench.exe -> tools/demo/pop3server.exe in the same build
    return path.substr(0, slash == std::string::npos ? 0 : slash) + "\\..\\tools\\demo\\" + name;
}

// The first check of each generated mailbox of a Dovecot fixture, in plain
// text and over implicit TLS.
void dovecotChecks(const std::string& iniPath, int rounds) {
    std::ifstream in(iniPath);
    Mailbox plain, secure;
    std::string ca;
    std::vector<std::pair<std::string, int>> bulk;
    for (std::string line; std::getline(in, line);) {
        const size_t equals = line.find('=');
        const std::string key = line.substr(0, equals), value = line.substr(std::min(equals + 1, line.size()));
        std::istringstream words(value);
        if (key == "port")
            words >> plain.port;
        else if (key == "tlsPort")
            words >> secure.port;
        else if (key == "password")
            plain.password = value;
        else if (key == "ca")
            ca = value;
        else if (key == "bulk")
            words >> bulk.emplace_back().first >> bulk.back().second;
    }
    if (bulk.empty())
        throw MsgException(("no generated mailbox in " + iniPath).c_str());
    const std::string trusted = trustTestCa(ca);
    if (!trusted.empty())
        throw MsgException(trusted.c_str());
    // The certificate names localhost; both go by that name.
    plain.host = secure.host = "localhost";
    secure.password = plain.password;
    secure.security = ConnectionSecurity::ImplicitTls;
    std::printf("\nDovecot, first check\n%-9s %11s %11s %7s\n", "messages", "plain s", "TLS s", "ratio");
    for (const auto& [user, messages] : bulk) {
        plain.user = secure.user = user;
        // Dovecot indexes a mailbox at its first session: not counted.
        MessageList warmUp;
        pellmorCheck(plain, warmUp, messages);
        std::vector<double> plainTimes, tlsTimes;
        for (int round = 0; round < rounds; ++round) {
            MessageList plainList, tlsList;
            plainTimes.push_back(pellmorCheck(plain, plainList, messages));
            tlsTimes.push_back(pellmorCheck(secure, tlsList, messages));
        }
        std::printf("%-9d %11.3f %11.3f %7.2f\n", messages, median(plainTimes), median(tlsTimes),
                    median(tlsTimes) / median(plainTimes));
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string serverPath = siblingPath("pop3server.exe");
    std::vector<int> sizes{1000, 10000};
    int rounds = 3;
    std::string dovecot;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--server") {
            serverPath = argv[i + 1];
        } else if (option == "--messages") {
            sizes.clear();
            std::stringstream list(argv[i + 1]);
            for (std::string item; std::getline(list, item, ',');)
                sizes.push_back(std::atoi(item.c_str()));
        } else if (option == "--rounds") {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        } else if (option == "--dovecot") {
            dovecot = argv[i + 1];
        }
    }

    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    try {
        std::printf("%-9s %11s %11s %10s %7s %9s %8s %11s %12s %12s\n", "messages", "baseline s", "first s",
                    "msgs/s", "ratio", "decode s", "+ratio", "second s", "records MB", "peak MB");
        for (const int messages : sizes) {
            ServerProcess server(serverPath, messages);
            Mailbox mailbox;
            mailbox.port = server.port;
            std::vector<double> baseline, first, second, decode;
            size_t held = 0;
            for (int round = 0; round < rounds; ++round) {
                baseline.push_back(baselineCheck(server.port, messages));
                const size_t before = privateBytes();
                MessageList list;
                first.push_back(pellmorCheck(mailbox, list, messages));
                held = std::max(held, privateBytes() - std::min(before, privateBytes()));
                decode.push_back(decodeAll(list));
                second.push_back(pellmorCheck(mailbox, list, 0));
            }
            const double firstTime = median(first);
            const double baseTime = median(baseline);
            const double decodeTime = median(decode);
            std::printf("%-9d %11.3f %11.3f %10.0f %7.2f %9.3f %8.2f %11.3f %12.1f %12.1f\n", messages, baseTime,
                        firstTime, messages / firstTime, firstTime / baseTime, decodeTime,
                        (firstTime + decodeTime) / baseTime, median(second), held / 1048576.0,
                        peakPrivateBytes() / 1048576.0);
            std::fflush(stdout);
        }
        if (!dovecot.empty())
            dovecotChecks(dovecot, rounds);
    } catch (const MsgException& e) {
        std::fprintf(stderr, "check_bench: %s\n", e.message().c_str());
        return 1;
    }
    WSACleanup();
    return 0;
}

// pop3server.exe: the scripted POP3 test server as a program of its own, for
// the demo and the benchmarks. It serves a sample mailbox and/or a folder of
// messages on 127.0.0.1 until its time is up.
#include "GeneratedMailbox.h"
#include "MailboxFolder.h"

#include "net/MsgException.h"
#include "servers/Pop3Server.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <winsock.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

const char usage[] =
    "usage: pop3server [--port N] [--user U] [--password P] [--generate N] [--seed S]\n"
    "                  [--mailbox DIR] [--port-file F] [--transcript F] [--max-seconds S]\n"
    "  --port N         port on 127.0.0.1; 0 (the default) picks a free one\n"
    "  --user U         user name (default alice)\n"
    "  --password P     password (default secret)\n"
    "  --generate N     serve N sample messages (uids a1, b2, ...), made from seed S (default 1)\n"
    "  --mailbox DIR    serve the files of DIR, one message each; the name without its\n"
    "                   extension is the unique id\n"
    "  --port-file F    write the port to F once listening\n"
    "  --transcript F   append every line the client sends to F\n"
    "  --max-seconds S  end after S seconds (default 3600)\n";

struct Options {
    Pop3ServerSettings settings;
    int generate = 0;
    unsigned seed = 1;
    std::string mailboxFolder;
    std::string portFile;
    std::string transcriptFile;
    int maxSeconds = 3600;
};

std::optional<long long> number(const char* text, long long low, long long high) {
    long long value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

// False, with a message on stderr, when the command line is not usable.
bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            std::fputs(usage, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "pop3server: %s needs a value\n", name.c_str());
            return false;
        }
        const char* value = argv[++i];
        // Stores a number taken from the value; false when it is none.
        auto numeric = [&](auto& field, long long low, long long high) {
            const auto parsed = number(value, low, high);
            if (!parsed)
                std::fprintf(stderr,
                             "pop3server: %s takes a number from %lld to %lld, not \"%s\"\n",
                             name.c_str(), low, high, value);
            else
                field = static_cast<std::remove_reference_t<decltype(field)>>(*parsed);
            return parsed.has_value();
        };
        bool usable = true;
        if (name == "--port")
            usable = numeric(options.settings.port, 0, 65535);
        else if (name == "--generate")
            usable = numeric(options.generate, 0, 1000000);
        else if (name == "--seed")
            usable = numeric(options.seed, 0, 0xffffffffLL);
        else if (name == "--max-seconds")
            usable = numeric(options.maxSeconds, 1, 7 * 24 * 3600);
        else if (name == "--user")
            options.settings.user = value;
        else if (name == "--password")
            options.settings.password = value;
        else if (name == "--mailbox")
            options.mailboxFolder = value;
        else if (name == "--port-file")
            options.portFile = value;
        else if (name == "--transcript")
            options.transcriptFile = value;
        else {
            std::fprintf(stderr, "pop3server: unknown option %s\n%s", name.c_str(), usage);
            usable = false;
        }
        if (!usable)
            return false;
    }
    return true;
}

// Written whole under another name first, so that a reader polling for the
// file never sees it half written.
void writePortFile(const std::string& path, int port) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << port << "\n";
        if (!out.flush())
            throw MsgException(("cannot write " + temporary).c_str());
    }
    if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        throw MsgException(("cannot write " + path).c_str());
}

void appendTranscript(const std::string& path, const std::vector<std::string>& lines) {
    if (path.empty() || lines.empty())
        return;
    std::ofstream out(path, std::ios::binary | std::ios::app);
    for (const std::string& line : lines)
        out << line << "\n";
}

std::atomic<bool> interrupted{false};

BOOL WINAPI onConsoleEvent(DWORD) {
    interrupted = true;
    return TRUE;
}

int serve(const Options& options) {
    Pop3Mailbox mailbox = generatedMailbox(options.generate, options.seed);
    if (!options.mailboxFolder.empty()) {
        Pop3Mailbox files = readMailboxFolder(options.mailboxFolder);
        mailbox.insert(mailbox.end(), std::make_move_iterator(files.begin()),
                       std::make_move_iterator(files.end()));
    }
    const size_t messages = mailbox.size();
    Pop3Server server(std::move(mailbox), options.settings);
    if (!options.portFile.empty())
        writePortFile(options.portFile, server.port());
    std::printf("listening on 127.0.0.1:%d\n", server.port());
    std::printf("serving %u messages to %s until %d seconds have passed\n",
                static_cast<unsigned>(messages), options.settings.user.c_str(), options.maxSeconds);
    std::fflush(stdout);

    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(options.maxSeconds);
    while (!interrupted && std::chrono::steady_clock::now() < end) {
        Sleep(100);
        appendTranscript(options.transcriptFile, server.takeTranscript());
    }
    appendTranscript(options.transcriptFile, server.takeTranscript());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Plain line feeds: what reads this output is a shell script of the demo
    // or a benchmark, which a console's CR LF would trip up.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    Options options;
    if (!parse(argc, argv, options))
        return 2;
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        std::fprintf(stderr, "pop3server: WSAStartup failed\n");
        return 1;
    }
    int result = 1;
    try {
        result = serve(options);
    } catch (const MsgException& e) {
        std::fprintf(stderr, "pop3server: %s\n", e.message().c_str());
    }
    WSACleanup();
    return result;
}

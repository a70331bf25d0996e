// pop3server.exe as the demo and the benchmarks start it: a process of its
// own, told what to do by its command line.
#include <gtest/gtest.h>

#include "net/Socket.h"
#include "net/SocketAddress.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string programFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class TemporaryFolder {
public:
    TemporaryFolder() {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        path = std::string(base) + "pop3server-test-" + std::to_string(GetCurrentProcessId()) +
               "-" + std::to_string(GetTickCount());
        std::filesystem::create_directories(path);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return path + "\\" + name; }

    std::string path;
};

// pop3server.exe with its standard output in a file; ended by force if a
// test leaves it running.
class ServerProcess {
public:
    ServerProcess(const std::string& arguments, const std::string& outputFile) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::string commandLine = "\"" + programFolder() + "pop3server.exe\" " + arguments;
        started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &process);
    }
    ~ServerProcess() {
        if (started) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(process.hProcess, 99);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        CloseHandle(output);
    }

    bool running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
    // The exit code, or -1 when the program has not ended within the limit.
    int waitForExit(DWORD milliseconds) {
        DWORD code = 0;
        if (WaitForSingleObject(process.hProcess, milliseconds) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process.hProcess, &code))
            return -1;
        return static_cast<int>(code);
    }

    BOOL started = FALSE;
    PROCESS_INFORMATION process{};
    HANDLE output = INVALID_HANDLE_VALUE;
};

std::string readLine(Socket& socket) {
    std::string line;
    socket.readLine(line);
    return line;
}

std::string command(Socket& socket, const std::string& text) {
    socket.sendString(text + "\r\n");
    return readLine(socket);
}

TEST(Pop3ServerProgram, ServesGeneratedAndFolderMessagesUntilItsTimeIsUp) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder.file("mail"));
    writeFile(folder.file("mail\\x9.eml"), "Subject: from a file\nFrom: a@example.org\n\nbody\n");
    writeFile(folder.file("mail\\readme.txt"), "Subject: read me\r\n\r\nbody\r\n");

    ServerProcess server("--generate 2 --mailbox \"" + folder.file("mail") +
                             "\" --user bob --password pw --port-file \"" + folder.file("port") +
                             "\" --transcript \"" + folder.file("transcript") +
                             "\" --max-seconds 4",
                         folder.file("output"));
    ASSERT_TRUE(server.started);
    std::string portText;
    for (int i = 0; i < 400 && portText.empty() && server.running(); ++i) {
        Sleep(50);
        portText = readFile(folder.file("port"));
    }
    ASSERT_FALSE(portText.empty()) << "no port file; output: " << readFile(folder.file("output"));
    const int port = std::stoi(portText);

    {
        Socket client(5000);
        SocketAddress address;
        address.resolve("127.0.0.1", port);
        client.connect(address);
        EXPECT_EQ(readLine(client).substr(0, 3), "+OK");
        EXPECT_EQ(command(client, "user bob").substr(0, 3), "+OK");
        EXPECT_EQ(command(client, "pass pw").substr(0, 3), "+OK");
        EXPECT_EQ(command(client, "uidl"), "+OK");
        std::vector<std::string> listing;
        for (std::string line = readLine(client); line != "."; line = readLine(client))
            listing.push_back(line);
        EXPECT_EQ(listing, (std::vector<std::string>{"1 a1", "2 b2", "3 readme", "4 x9"}));
        EXPECT_EQ(command(client, "top 4 0"), "+OK");
        std::vector<std::string> top;
        for (std::string line = readLine(client); line != "."; line = readLine(client))
            top.push_back(line);
        EXPECT_EQ(top,
                  (std::vector<std::string>{"Subject: from a file", "From: a@example.org", ""}));
        EXPECT_EQ(command(client, "quit").substr(0, 3), "+OK");
        client.close();
    }

    EXPECT_EQ(server.waitForExit(30000), 0) << "the program ends when its time is up";
    EXPECT_EQ(readFile(folder.file("transcript")), "user bob\npass pw\nuidl\ntop 4 0\nquit\n");
    // Plain line feeds, not a console's CR LF: the readers are shell scripts.
    EXPECT_NE(readFile(folder.file("output"))
                  .find("listening on 127.0.0.1:" + std::to_string(port) + "\n"),
              std::string::npos)
        << readFile(folder.file("output"));
}

TEST(Pop3ServerProgram, RefusesAnUnusableCommandLine) {
    TemporaryFolder folder;
    const struct {
        const char* arguments;
        int exitCode;
    } cases[] = {
        {"--port 70000", 2},
        {"--generate many", 2},
        {"--bogus 1", 2},
        {"--max-seconds", 2},
        {"--mailbox \"no such folder\" --max-seconds 5", 1},
    };
    for (const auto& [arguments, exitCode] : cases) {
        ServerProcess server(arguments, folder.file("output"));
        ASSERT_TRUE(server.started);
        EXPECT_EQ(server.waitForExit(20000), exitCode) << arguments;
        EXPECT_FALSE(readFile(folder.file("output")).empty()) << arguments << ": says why";
    }
}

} // namespace

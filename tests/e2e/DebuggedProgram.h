#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A program started as a debugger starts it (DEBUG_ONLY_THIS_PROCESS), so
// that its OutputDebugStringA traces arrive as debug events. Only the thread
// that created a debuggee may wait for its events, so a thread of its own
// starts the program and runs the debug loop.
class DebuggedProgram {
public:
    explicit DebuggedProgram(const std::string& commandLine);
    // Ends the program if it still runs.
    ~DebuggedProgram();

    bool started() const { return state == running || state == ended; }
    std::vector<std::string> traces();
    // Whether a trace containing `text` has arrived within `milliseconds`.
    bool waitForTrace(const std::string& text, DWORD milliseconds);
    // Whether the program ended within `milliseconds`; its exit code then.
    bool waitForExit(DWORD milliseconds, DWORD& exitCode);

private:
    enum State { starting, running, ended, failed };
    void run(std::string commandLine);

    std::mutex lock;
    std::vector<std::string> received;
    std::atomic<State> state{starting};
    std::atomic<bool> stopRequested{false};
    std::atomic<DWORD> code{0};
    std::thread debugger;
};

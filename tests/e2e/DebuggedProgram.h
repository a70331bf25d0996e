#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A program started as a debugger starts it (DEBUG_ONLY_THIS_PROCESS), so
// that its OutputDebugStringA traces arrive as OUTPUT_DEBUG_STRING_EVENTs.
// Only the thread that created a debuggee may wait for its events, so a
// thread of its own starts the program and runs the debug loop.
class DebuggedProgram {
public:
    explicit DebuggedProgram(const std::string& commandLine);
    // Ends the program if it still runs.
    ~DebuggedProgram();

    bool started();
    // Whether a trace containing `text` has arrived within `milliseconds`.
    bool waitForTrace(const std::string& text, DWORD milliseconds);
    std::vector<std::string> traces();
    // Whether the program ended within `milliseconds`; its exit code then.
    bool waitForExit(DWORD milliseconds, DWORD& exitCode);

private:
    void run(std::string commandLine);
    template <class Condition> bool waitFor(Condition done, DWORD milliseconds);

    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> received;
    enum { starting, running, ended, failed } state = starting;
    bool stopRequested = false;
    DWORD code = 0;
    std::thread debugger;
};

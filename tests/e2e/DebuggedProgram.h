#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A program started as a debugger starts it (DEBUG_ONLY_THIS_PROCESS), so
// that its OutputDebugStringA traces arrive as OUTPUT_DEBUG_STRING_EVENTs,
// read out of its memory as a debugger reads them. A thread of its own
// starts the program and runs the debug loop, because only the thread that
// created a debuggee may wait for its events.
class DebuggedProgram {
public:
    explicit DebuggedProgram(std::string commandLine);
    // Ends the program if it still runs.
    ~DebuggedProgram();
    DebuggedProgram(const DebuggedProgram&) = delete;
    DebuggedProgram& operator=(const DebuggedProgram&) = delete;

    bool started() const;
    // Whether a trace containing `text` has arrived, waiting at most
    // `milliseconds` for one.
    bool waitForTrace(const std::string& text, DWORD milliseconds);
    // How many traces contain `text`.
    int countTraces(const std::string& text) const;
    std::vector<std::string> traces() const;
    // Whether the program ended within `milliseconds`; its exit code then.
    bool waitForExit(DWORD milliseconds, DWORD& exitCode);
    DWORD processId() const;

private:
    void run(std::string commandLine);

    mutable std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> received;
    bool running = false;
    bool ended = false;
    bool failedToStart = false;
    bool stopRequested = false;
    DWORD id = 0;
    DWORD code = 0;
    std::thread debugger;
};

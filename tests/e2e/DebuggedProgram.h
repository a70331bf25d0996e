#pragma once

#include "e2e/DesktopUser.h"

#include <windows.h>

#include <algorithm>
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
    explicit DebuggedProgram(const std::string& commandLine)
        : debugger([this, commandLine] { run(commandLine); }) {
        waitUntil([this] { return state != starting; }, 30000);
    }
    // Ends the program if it still runs.
    ~DebuggedProgram() {
        stopRequested = true;
        debugger.join();
    }

    bool started() const { return state == running || state == ended; }
    std::vector<std::string> traces() {
        std::lock_guard<std::mutex> guard(lock);
        return received;
    }
    // Whether a trace containing `text` has arrived within `milliseconds`.
    bool waitForTrace(const std::string& text, DWORD milliseconds) {
        const auto has = [&](const std::string& trace) { return trace.find(text) != trace.npos; };
        return waitUntil([&] { return std::ranges::any_of(traces(), has); }, milliseconds);
    }
    // Whether the program ended within `milliseconds`; its exit code then.
    bool waitForExit(DWORD milliseconds, DWORD& exitCode) {
        const bool done =
            waitUntil([this] { return state == ended || state == failed; }, milliseconds);
        exitCode = code;
        return done && state == ended;
    }

private:
    enum State { starting, running, ended, failed };
    // STATUS_WX86_BREAKPOINT, which the SDK headers of MinGW do not name.
    static constexpr DWORD wow64Breakpoint = 0x4000001F;

    void run(std::string commandLine) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                            DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup, &process)) {
            state = failed;
            return;
        }
        state = running;
        // A program that will not die gives up the debugger 10 s after its end
        // was asked for.
        for (DWORD stopAt = 0; state == running && (!stopAt || GetTickCount() - stopAt < 10000);) {
            if (stopRequested && !stopAt) {
                TerminateProcess(process.hProcess, 0xDEAD);
                stopAt = GetTickCount();
            }
            DEBUG_EVENT event{};
            if (!WaitForDebugEvent(&event, 100))
                continue;
            const auto& exception = event.u.Exception.ExceptionRecord;
            // The loader's first breakpoint is ours to pass (a 32-bit program
            // under WoW64 has a second one of its own); any other exception is
            // the program's own to handle.
            const bool theirs = event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
                                exception.ExceptionCode != EXCEPTION_BREAKPOINT &&
                                exception.ExceptionCode != wow64Breakpoint;
            const auto& output = event.u.DebugString;
            if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT && !output.fUnicode) {
                std::string text(output.nDebugStringLength, '\0');
                SIZE_T got = 0;
                ReadProcessMemory(process.hProcess, output.lpDebugStringData, text.data(),
                                  text.size(), &got);
                std::lock_guard<std::mutex> guard(lock);
                received.push_back(text.substr(0, strnlen(text.c_str(), got)));
            } else if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
                CloseHandle(event.u.CreateProcessInfo.hFile);
            } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
                CloseHandle(event.u.LoadDll.hFile);
            } else if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
                code = event.u.ExitProcess.dwExitCode;
                state = ended;
            }
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId,
                               theirs ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    std::mutex lock;
    std::vector<std::string> received;
    std::atomic<State> state{starting};
    std::atomic<bool> stopRequested{false};
    std::atomic<DWORD> code{0};
    std::thread debugger;
};

#include "e2e/DebuggedProgram.h"

#include <chrono>

DebuggedProgram::DebuggedProgram(std::string commandLine) {
    debugger = std::thread([this, commandLine] { run(commandLine); });
    std::unique_lock<std::mutex> guard(lock);
    changed.wait_for(guard, std::chrono::seconds(30), [this] { return running || failedToStart; });
}

DebuggedProgram::~DebuggedProgram() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopRequested = true;
    }
    if (debugger.joinable())
        debugger.join();
}

bool DebuggedProgram::started() const {
    std::lock_guard<std::mutex> guard(lock);
    return running || ended;
}

DWORD DebuggedProgram::processId() const {
    std::lock_guard<std::mutex> guard(lock);
    return id;
}

void DebuggedProgram::run(std::string commandLine) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr,
                        &startup, &process)) {
        std::lock_guard<std::mutex> guard(lock);
        failedToStart = true;
        changed.notify_all();
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        running = true;
        id = process.dwProcessId;
        changed.notify_all();
    }
    bool terminating = false;
    DWORD terminateStart = 0;
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (stopRequested && !terminating) {
                TerminateProcess(process.hProcess, 0xDEAD);
                terminating = true;
                terminateStart = GetTickCount();
            }
        }
        // A program that will not die gives up the debugger within 10 s.
        if (terminating && GetTickCount() - terminateStart > 10000)
            break;
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, 100))
            continue;
        DWORD continueStatus = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
            std::string text;
            if (!info.fUnicode && info.nDebugStringLength > 0) {
                std::vector<char> buffer(info.nDebugStringLength);
                SIZE_T got = 0;
                if (ReadProcessMemory(process.hProcess, info.lpDebugStringData, buffer.data(), buffer.size(), &got))
                    text.assign(buffer.data(), strnlen(buffer.data(), got));
            }
            std::lock_guard<std::mutex> guard(lock);
            received.push_back(text);
            changed.notify_all();
            break;
        }
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        case EXCEPTION_DEBUG_EVENT:
            // The loader's first breakpoint is ours to pass; any other
            // exception is the program's own to handle.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                continueStatus = DBG_EXCEPTION_NOT_HANDLED;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            std::lock_guard<std::mutex> guard(lock);
            code = event.u.ExitProcess.dwExitCode;
            running = false;
            ended = true;
            changed.notify_all();
            break;
        }
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

bool DebuggedProgram::waitForTrace(const std::string& text, DWORD milliseconds) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::milliseconds(milliseconds), [&] {
        for (const std::string& trace : received)
            if (trace.find(text) != std::string::npos)
                return true;
        return false;
    });
}

int DebuggedProgram::countTraces(const std::string& text) const {
    std::lock_guard<std::mutex> guard(lock);
    int count = 0;
    for (const std::string& trace : received)
        if (trace.find(text) != std::string::npos)
            ++count;
    return count;
}

std::vector<std::string> DebuggedProgram::traces() const {
    std::lock_guard<std::mutex> guard(lock);
    return received;
}

bool DebuggedProgram::waitForExit(DWORD milliseconds, DWORD& exitCode) {
    std::unique_lock<std::mutex> guard(lock);
    if (!changed.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return ended || failedToStart; }))
        return false;
    exitCode = code;
    return ended;
}

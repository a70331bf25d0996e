#include "e2e/DebuggedProgram.h"

#include <chrono>

DebuggedProgram::DebuggedProgram(const std::string& commandLine) {
    debugger = std::thread([this, commandLine] { run(commandLine); });
    waitFor([this] { return state != starting; }, 30000);
}

DebuggedProgram::~DebuggedProgram() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopRequested = true;
    }
    debugger.join();
}

template <class Condition> bool DebuggedProgram::waitFor(Condition done, DWORD milliseconds) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::milliseconds(milliseconds), done);
}

void DebuggedProgram::run(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const bool created = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                                        DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup, &process);
    {
        std::lock_guard<std::mutex> guard(lock);
        state = created ? running : failed;
        changed.notify_all();
    }
    if (!created)
        return;
    DWORD stopAt = 0;
    // A program that will not die gives up the debugger 10 s after the end
    // was asked for.
    while (!stopAt || GetTickCount() - stopAt < 10000) {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (stopRequested && !stopAt) {
                TerminateProcess(process.hProcess, 0xDEAD);
                stopAt = GetTickCount();
            }
        }
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, 100))
            continue;
        DWORD continueStatus = DBG_CONTINUE;
        if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
            const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
            std::string text(info.nDebugStringLength, '\0');
            SIZE_T got = 0;
            if (info.fUnicode ||
                !ReadProcessMemory(process.hProcess, info.lpDebugStringData, text.data(), text.size(), &got))
                got = 0;
            text.resize(strnlen(text.c_str(), got));
            std::lock_guard<std::mutex> guard(lock);
            received.push_back(text);
            changed.notify_all();
        } else if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && event.u.CreateProcessInfo.hFile) {
            CloseHandle(event.u.CreateProcessInfo.hFile);
        } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && event.u.LoadDll.hFile) {
            CloseHandle(event.u.LoadDll.hFile);
        } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
                   event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
            // The loader's first breakpoint is ours to pass; any other
            // exception is the program's own to handle.
            continueStatus = DBG_EXCEPTION_NOT_HANDLED;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            std::lock_guard<std::mutex> guard(lock);
            code = event.u.ExitProcess.dwExitCode;
            state = ended;
            changed.notify_all();
            break;
        }
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

bool DebuggedProgram::started() {
    std::lock_guard<std::mutex> guard(lock);
    return state == running || state == ended;
}

bool DebuggedProgram::waitForTrace(const std::string& text, DWORD milliseconds) {
    return waitFor(
        [&] {
            for (const std::string& trace : received)
                if (trace.find(text) != std::string::npos)
                    return true;
            return false;
        },
        milliseconds);
}

std::vector<std::string> DebuggedProgram::traces() {
    std::lock_guard<std::mutex> guard(lock);
    return received;
}

bool DebuggedProgram::waitForExit(DWORD milliseconds, DWORD& exitCode) {
    if (!waitFor([this] { return state == ended || state == failed; }, milliseconds))
        return false;
    exitCode = code;
    return state == ended;
}

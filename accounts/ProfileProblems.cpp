#include "accounts/ProfileProblems.h"

#include "accounts/Account.h"
#include "accounts/PasswordScramble.h"
#include "accounts/ProfileLine.h"

#include <climits>
#include <vector>

namespace {

std::string textProblem(std::string_view text, const char* fieldName, bool commaAllowed) {
    if (!commaAllowed && text.find(',') != std::string_view::npos)
        return std::string("The ") + fieldName + " must not contain a comma.";
    if (text.find('\0') != std::string_view::npos)
        return std::string("The ") + fieldName + " must not contain a NUL character.";
    if (!survivesCodePage(text, CP_ACP))
        return std::string("The ") + fieldName +
               " contains characters that this system's code page cannot store.";
    return {};
}

} // namespace

std::string hostProblem(std::string_view host) {
    return textProblem(host, "host name", false);
}

std::string userProblem(std::string_view user) {
    return textProblem(user, "user name", false);
}

std::string clientCommandProblem(std::string_view command) {
    return textProblem(command, "mail client command", true);
}

std::string passwordProblem(std::string_view password) {
    std::string scrambled(password);
    scramblePassword(scrambled);
    for (std::size_t i = 0; i < scrambled.size(); ++i) {
        if (scrambled[i] == ',' || scrambled[i] == '\0')
            return "The password cannot be stored: its character " + std::to_string(i + 1) +
                   " cannot be kept in the profile. Please choose another password.";
    }
    if (!survivesCodePage(scrambled, CP_ACP))
        return "The password cannot be stored in this system's code page. "
               "Please choose another password.";
    return {};
}

std::string profileProblem(const Account& account) {
    std::string problem = hostProblem(account.host);
    if (problem.empty())
        problem = userProblem(account.user);
    if (problem.empty())
        problem = passwordProblem(account.password);
    if (problem.empty())
        problem = clientCommandProblem(account.clientCommand);
    if (problem.empty()) {
        const std::size_t length = formatProfileLine(account).size();
        if (length > maxProfileLine) {
            const std::size_t excess = length - maxProfileLine;
            problem = "The profile is too long to be stored: shorten the host name, user name, "
                      "password or mail client by " +
                      std::to_string(excess) + (excess == 1 ? " character." : " characters.");
        }
    }
    if (problem.empty())
        return {};
    return "The profile \"" + account.title + "\" cannot be saved. " + problem;
}

bool survivesCodePage(std::string_view text, UINT codePage) {
    if (text.empty())
        return true;
    if (text.size() > INT_MAX)
        return false;
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (wideLength <= 0)
        return false;
    std::vector<wchar_t> wide(static_cast<std::size_t>(wideLength));
    MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), wideLength);
    const int backLength =
        WideCharToMultiByte(codePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (backLength != length)
        return false;
    std::string back(static_cast<std::size_t>(backLength), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), wideLength, back.data(), backLength, nullptr,
                        nullptr);
    return back == text;
}

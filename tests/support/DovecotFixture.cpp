#include "support/DovecotFixture.h"

#include "net/MsgException.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <sstream>

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw MsgException(("Dovecot fixture " + path + ": " + what).c_str());
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;)
        result.push_back(word);
    return result;
}

// The whole text as a number in [low, high]; nothing for anything else.
std::optional<long> number(const std::string& text, long low, long high) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

long DovecotFixture::Mailbox::octets() const {
    return std::accumulate(sizes.begin(), sizes.end(), 0L);
}

std::optional<DovecotFixture> DovecotFixture::load() {
    const char* path = std::getenv(pathVariable);
    if (path == nullptr || *path == '\0')
        return std::nullopt;
    return read(path);
}

// The format is the script's own: "[server]" and "[user NAME]" sections of
// key=value lines, ";" comments. A value runs to the end of its line, so a
// password keeps its blanks. Keys that a newer script may add are skipped.
DovecotFixture DovecotFixture::read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail(path, "cannot be opened");

    DovecotFixture fixture;
    Mailbox* mailbox = nullptr;
    bool inServer = false;
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == ';')
            continue;
        const std::string where = "line " + std::to_string(lineNumber);
        if (line.front() == '[') {
            if (line.back() != ']')
                fail(path, where + ": unclosed section");
            const std::string section = line.substr(1, line.size() - 2);
            inServer = section == "server";
            mailbox = nullptr;
            if (section.rfind("user ", 0) == 0) {
                const std::string user = section.substr(5);
                if (user.empty() || fixture.mailboxes.count(user) != 0)
                    fail(path, where + ": missing or repeated user");
                mailbox = &fixture.mailboxes[user];
            }
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            fail(path, where + ": no key=value");
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (inServer && key == "host") {
            fixture.host = value;
        } else if (inServer && key == "port") {
            const std::optional<long> port = number(value, 1, 65535);
            if (!port)
                fail(path, where + ": bad port \"" + value + "\"");
            fixture.port = static_cast<int>(*port);
        } else if (mailbox != nullptr && key == "password") {
            mailbox->password = value;
        } else if (mailbox != nullptr && key == "uidls") {
            mailbox->uidls = words(value);
        } else if (mailbox != nullptr && key == "sizes") {
            mailbox->sizes.clear();
            for (const std::string& word : words(value)) {
                const std::optional<long> size = number(word, 0, 1L << 30);
                if (!size)
                    fail(path, where + ": bad size \"" + word + "\"");
                mailbox->sizes.push_back(*size);
            }
        }
    }

    if (fixture.host.empty() || fixture.port == 0)
        fail(path, "no host and port");
    if (fixture.mailboxes.empty())
        fail(path, "no mailbox");
    for (const auto& [user, box] : fixture.mailboxes)
        if (box.uidls.size() != box.sizes.size())
            fail(path, "user " + user + " has " + std::to_string(box.uidls.size()) + " ids but " +
                           std::to_string(box.sizes.size()) + " sizes");
    return fixture;
}

const DovecotFixture::Mailbox& DovecotFixture::mailbox(const std::string& user) const {
    const auto found = mailboxes.find(user);
    if (found == mailboxes.end())
        throw MsgException(("Dovecot fixture has no user " + user).c_str());
    return found->second;
}

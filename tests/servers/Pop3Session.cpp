#include "servers/Pop3Session.h"

#include <algorithm>
#include <cctype>

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> found;
    size_t at = 0;
    while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
        const size_t end = std::min(text.find(' ', at), text.size());
        found.push_back(text.substr(at, end - at));
        at = end;
    }
    return found;
}

// A plain decimal number as RFC 1939 writes them: digits only, no sign. Nine
// digits at most, so that no value overflows; nothing real is that large.
bool parseNumber(const std::string& text, size_t& value) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    value = std::stoul(text);
    return true;
}

Pop3Reply ok(const std::string& text) {
    return Pop3Reply::line(text.empty() ? "+OK" : "+OK " + text);
}

Pop3Reply refuse(const std::string& text) {
    return Pop3Reply::line("-ERR " + text);
}

} // namespace

Pop3Session::Pop3Session(std::string user, std::string password, Pop3Mailbox maildrop)
    : user(std::move(user)), password(std::move(password)) {
    entries.reserve(maildrop.size());
    for (Pop3Message& message : maildrop)
        entries.push_back({std::move(message), false});
}

Pop3Reply Pop3Session::greeting() const {
    return ok("Pellmor test POP3 server ready");
}

Pop3Reply Pop3Session::execute(const std::string& line) {
    const size_t space = line.find(' ');
    const std::string verb = lowerCase(line.substr(0, space));
    // "user" and "pass" take the rest of the line as it is: a password may
    // hold blanks.
    const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (state == State::Ended)
        return refuse("session has ended");
    if (verb == "quit")
        return quit();
    if (state == State::Authorization)
        return authorize(verb, rest);
    return transact(verb, words(rest));
}

Pop3Reply Pop3Session::authorize(const std::string& verb, const std::string& argument) {
    if (verb == "user") {
        if (argument.empty())
            return refuse("user name missing");
        pendingUser = argument;
        userGiven = true;
        return ok("send the password");
    }
    if (verb == "pass") {
        if (!userGiven)
            return refuse("send user first");
        // A failed attempt starts over with "user", as RFC 1939 has it.
        userGiven = false;
        if (pendingUser != user || argument != password)
            return refuse("invalid user name or password");
        state = State::Transaction;
        return ok(user + "'s maildrop has " + dropSummary());
    }
    return refuse("not authenticated");
}

Pop3Reply Pop3Session::transact(const std::string& verb,
                                const std::vector<std::string>& arguments) {
    const size_t count = arguments.size();
    Pop3Reply refusal;
    if (verb == "user" || verb == "pass")
        return refuse("already authenticated");

    if (verb == "noop" && count == 0)
        return ok("");

    if (verb == "stat" && count == 0) {
        const Tally tally = countMessages();
        return ok(std::to_string(tally.messages) + " " + std::to_string(tally.octets));
    }

    if ((verb == "list" || verb == "uidl") && count <= 1) {
        auto describe = [&](size_t index) {
            const Pop3Message& message = entries[index].message;
            return std::to_string(index + 1) + " " +
                   (verb == "list" ? std::to_string(message.size()) : message.uid);
        };
        if (count == 1) {
            const size_t index = find(arguments[0], refusal);
            return index == noMessage ? refusal : ok(describe(index));
        }
        std::vector<std::string> listing;
        for (size_t index = 0; index < entries.size(); ++index)
            if (!entries[index].deleted)
                listing.push_back(describe(index));
        return Pop3Reply::multiLine(verb == "list" ? "+OK " + dropSummary() : "+OK",
                                    std::move(listing));
    }

    if (verb == "retr" && count == 1) {
        const size_t index = find(arguments[0], refusal);
        if (index == noMessage)
            return refusal;
        const Pop3Message& message = entries[index].message;
        return Pop3Reply::multiLine("+OK " + std::to_string(message.size()) + " octets",
                                    message.lines);
    }

    if (verb == "top" && count == 2) {
        const size_t index = find(arguments[0], refusal);
        if (index == noMessage)
            return refusal;
        size_t bodyLines = 0;
        if (!parseNumber(arguments[1], bodyLines))
            return refuse("invalid number of lines");
        const std::vector<std::string>& lines = entries[index].message.lines;
        // Headers up to the first empty line, the empty line, then as many
        // body lines as asked for. A message without an empty line is all
        // headers and is sent whole.
        const auto blank = std::find(lines.begin(), lines.end(), std::string());
        auto end = lines.end();
        if (blank != lines.end())
            end = blank + 1 +
                  static_cast<std::ptrdiff_t>(
                      std::min(bodyLines, static_cast<size_t>(lines.end() - blank - 1)));
        return Pop3Reply::multiLine("+OK", std::vector<std::string>(lines.begin(), end));
    }

    if (verb == "dele" && count == 1) {
        const size_t index = find(arguments[0], refusal);
        if (index == noMessage)
            return refusal;
        entries[index].deleted = true;
        return ok("message " + arguments[0] + " deleted");
    }

    if (verb == "rset" && count == 0) {
        for (Entry& entry : entries)
            entry.deleted = false;
        return ok("maildrop has " + dropSummary());
    }

    static const char* const known[] = {"noop", "stat", "list", "uidl",
                                        "retr", "top",  "dele", "rset"};
    if (std::find(std::begin(known), std::end(known), verb) != std::end(known))
        return refuse("syntax error");
    return refuse("unknown command");
}

Pop3Reply Pop3Session::quit() {
    if (state == State::Authorization) {
        state = State::Ended;
        return ok("bye");
    }
    // The update state: only now do the marked messages leave the mailbox.
    size_t left = 0;
    for (const Entry& entry : entries) {
        if (entry.deleted)
            removed.push_back(entry.message.uid);
        else
            ++left;
    }
    state = State::Ended;
    return ok("Pellmor test POP3 server signing off (" + std::to_string(left) +
              (left == 1 ? " message" : " messages") + " left)");
}

size_t Pop3Session::find(const std::string& number, Pop3Reply& refusal) const {
    size_t value = 0;
    if (!parseNumber(number, value) || value == 0 || value > entries.size()) {
        refusal = refuse("no such message");
        return noMessage;
    }
    if (entries[value - 1].deleted) {
        refusal = refuse("message " + number + " already deleted");
        return noMessage;
    }
    return value - 1;
}

Pop3Session::Tally Pop3Session::countMessages() const {
    Tally tally;
    for (const Entry& entry : entries)
        if (!entry.deleted) {
            ++tally.messages;
            tally.octets += entry.message.size();
        }
    return tally;
}

std::string Pop3Session::dropSummary() const {
    const Tally tally = countMessages();
    return std::to_string(tally.messages) + (tally.messages == 1 ? " message (" : " messages (") +
           std::to_string(tally.octets) + " octets)";
}

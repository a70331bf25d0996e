#include "GeneratedMailbox.h"

#include <chrono>
#include <cstdio>
#include <random>

namespace {

// mt19937's sequence is fixed by the standard; the library's distributions
// are not, so values are taken from the raw numbers.
class Dice {
public:
    explicit Dice(std::seed_seq& seeds) : engine(seeds) {}
    size_t below(size_t bound) { return engine() % bound; }
    template <typename T, size_t n> const T& pick(const T (&items)[n]) { return items[below(n)]; }

private:
    std::mt19937 engine;
};

struct Person {
    const char* display;
    const char* address;
};

const Person senders[] = {
    {"Bruno Keller", "bruno.keller@example.net"},
    {"=?iso-8859-1?Q?Ren=E9e_Dupr=E9?=", "renee.dupre@example.fr"},
    {"Support Desk", "support@helpdesk.example.com"},
    {"=?iso-8859-1?Q?J=F6rg_M=FCller?=", "joerg@example.de"},
    {"Chris Ward", "cward@lists.example.org"},
    {"Margaret O'Neill", "maggie@example.ie"},
    {"Build Robot", "builds@ci.example.com"},
};

const char* const subjects[] = {
    "=?iso-8859-1?Q?Caf=E9_au_lait?=",
    "Re: quarterly figures",
    "=?iso-8859-1?Q?R=E9union_de_lundi?=",
    "Lunch on Friday?",
    "Build failed on the release branch",
    "=?iso-8859-1?Q?Gr=FC=DFe_aus_M=FCnchen?=",
    "Your invoice is ready",
    "Fwd: photos from the weekend",
    "Minutes of the committee meeting",
};

const char* const words[] = {
    "the",     "mail",   "server",  "report", "attached", "please",  "review",   "before",
    "monday",  "we",     "will",    "meet",   "at",       "noon",    "in",       "room",
    "figures", "look",   "better",  "than",   "last",     "year",    "thanks",   "for",
    "your",    "help",   "with",    "this",   "release",  "notes",   "should",   "follow",
    "soon",    "coffee", "machine", "broken", "again",    "and",     "nobody",   "knows",
    "why",     "budget", "draft",   "ready",  "comments", "welcome", "tomorrow", "office",
};

const char* const dayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string format(const char* pattern, auto... values) {
    char text[512];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

// An RFC 5322 date a few days or weeks into 2024, with the right weekday.
std::string dateText(Dice& dice, int number) {
    using namespace std::chrono;
    const sys_days day =
        sys_days{2024y / June / 3} + days{static_cast<int>(dice.below(60)) + number / 10};
    const year_month_day ymd{day};
    return format("%s, %u %s %d %02d:%02d:%02d +0200", dayNames[weekday{day}.c_encoding()],
                  static_cast<unsigned>(ymd.day()),
                  monthNames[static_cast<unsigned>(ymd.month()) - 1], static_cast<int>(ymd.year()),
                  static_cast<int>(dice.below(24)), static_cast<int>(dice.below(60)),
                  static_cast<int>(dice.below(60)));
}

std::string received(Dice& dice, const char* from, const char* by, const std::string& date) {
    return format("Received: from %s (%s [192.0.2.%d])\r\n"
                  "\tby %s (Postfix) with ESMTPS id %08X\r\n"
                  "\tfor <alice@example.org>; %s (CEST)\r\n",
                  from, from, static_cast<int>(dice.below(250)) + 1, by,
                  static_cast<unsigned>(dice.below(0x7fffffff)), date.c_str());
}

std::string headers(Dice& dice, int number) {
    const Person& sender = dice.pick(senders);
    const std::string date = dateText(dice, number);
    std::string text;
    text += "Return-Path: <" + std::string(sender.address) + ">\r\n";
    text += "Delivered-To: alice@example.org\r\n";
    text += received(dice, "mx.example.org", "mail.example.org", date);
    text += received(dice, "relay.example.net", "mx.example.org", date);
    text += received(dice, "localhost", "relay.example.net", date);
    text += format("Message-ID: <%d.%08X@example.net>\r\n", number,
                   static_cast<unsigned>(dice.below(0x7fffffff)));
    text += "Date: " + date + "\r\n";
    text += format("From: %s <%s>\r\n", sender.display, sender.address);
    text += "To: Alice Example <alice@example.org>\r\n";
    text += "Subject: " + std::string(dice.pick(subjects)) + "\r\n";
    text += "MIME-Version: 1.0\r\n";
    text += "Content-Type: text/plain; charset=iso-8859-1\r\n";
    text += "Content-Transfer-Encoding: 8bit\r\n";
    text += "X-Mailer: Sample Generator 1.0\r\n";
    return text;
}

std::string sentence(Dice& dice) {
    std::string line;
    const size_t length = 40 + dice.below(30);
    while (line.size() < length) {
        if (!line.empty())
            line += ' ';
        line += dice.pick(words);
    }
    line[0] = static_cast<char>(line[0] - 'a' + 'A');
    return line + '.';
}

std::string body(Dice& dice, int number) {
    // Lines that a careless server or client gets wrong: the lone "." would
    // end the data if it were not stuffed, and ".." must come back as "..".
    // One of them falls within the first 30 lines of every message.
    const char* const dotted[] = {".", "..", ".signature follows", "...and so on"};
    const size_t count = 31 + dice.below(30);
    const size_t dottedAt = 2 + dice.below(20);
    std::string text = "Hello Alice,\r\n\r\n";
    for (size_t line = 2; line < count; ++line) {
        if (line == dottedAt)
            text += dotted[static_cast<size_t>(number) % 4];
        else if (line % 9 == 0)
            text += "";
        else if (dice.below(12) == 0)
            text += dice.pick(dotted);
        else
            text += sentence(dice);
        text += "\r\n";
    }
    text += "-- \r\nSent by the sample generator\r\n";
    return text;
}

Pop3Message generatedMessage(int number, unsigned seed) {
    // A generator per message, so that message i is the same in a mailbox
    // of any size.
    std::seed_seq seeds{seed, static_cast<unsigned>(number)};
    Dice dice(seeds);
    const std::string uid =
        std::string(1, static_cast<char>('a' + (number - 1) % 26)) + std::to_string(number);
    return Pop3Message(uid, headers(dice, number) + "\r\n" + body(dice, number));
}

} // namespace

Pop3Mailbox generatedMailbox(int count, unsigned seed) {
    Pop3Mailbox mailbox;
    for (int number = 1; number <= count; ++number)
        mailbox.push_back(generatedMessage(number, seed));
    return mailbox;
}

#include "accounts/ProfileLine.h"

#include "accounts/Account.h"
#include "accounts/DecimalText.h"
#include "accounts/PasswordScramble.h"

#include <cstdio>

namespace {

constexpr unsigned defaultPort = 110;

// The options' letters after the port's "d". Lower case, and never "q"
// but for the balloon: the trusted fingerprint after them is upper-case hex,
// and version 1.1 looks for a "q" anywhere after the digits.
constexpr char quietLetter = 'q';
constexpr char stlsLetter = 's';
constexpr char implicitTlsLetter = 'i';
// Ends the letters; the trusted certificate's fingerprint follows it.
constexpr char fingerprintMark = ':';
constexpr std::size_t fingerprintLength = 64;

enum Field {
    HostField,
    UserField,
    PasswordField,
    ShowIconField,
    ColourField,
    IntervalField,
    CheckAutomaticallyField,
    ClientCommandField,
    DeleteImmediatelyField,
    PortField,
};

// 64 hex digits in either case, as upper case; anything else is no
// fingerprint at all, so that a damaged one trusts nothing.
std::string readFingerprint(std::string_view text) {
    if (text.size() != fingerprintLength ||
        text.find_first_not_of("0123456789ABCDEFabcdef") != std::string_view::npos)
        return {};
    std::string fingerprint(text);
    for (char& c : fingerprint)
        c = static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
    return fingerprint;
}

// The port's digits, then the letters of the options, then the trusted
// fingerprint after its mark. Unknown letters are skipped. A line naming
// both forms of TLS gets implicit TLS: either keeps the password off the
// wire, and with implicit TLS nothing at all is sent in plain text.
void applyPortField(Account& account, std::string_view field) {
    const unsigned port = readUnsigned(field);
    account.port = port != 0 ? port : defaultPort;
    const std::size_t mark = field.find(fingerprintMark);
    const std::size_t start = field.find_first_not_of(" \t0123456789+-");
    if (start == std::string_view::npos)
        return;
    const std::string_view letters = field.substr(start, mark - start);
    const auto hasLetter = [&](char letter) { return letters.find(letter) != std::string_view::npos; };
    account.notifyNewMail = !hasLetter(quietLetter);
    if (hasLetter(implicitTlsLetter))
        account.security = ConnectionSecurity::ImplicitTls;
    else if (hasLetter(stlsLetter))
        account.security = ConnectionSecurity::Stls;
    if (mark != std::string_view::npos)
        account.trustedFingerprint = readFingerprint(field.substr(mark + 1));
}

} // namespace

// The port's "%u" is followed by a literal "d" that every stored profile
// carries; readers take only its leading digits.
std::string formatProfileLine(const Account& account) {
    static const char format[] = "%s,%s,%s,%d,%d,%d,%d,%s,%d,%ud";
    std::string scrambled = account.password;
    scramblePassword(scrambled);

    const auto print = [&](char* buffer, std::size_t size) {
        return std::snprintf(
            buffer, size, format, account.host.c_str(), account.user.c_str(), scrambled.c_str(),
            account.showIcon ? 1 : 0, static_cast<int>(account.iconColour),
            static_cast<int>(account.intervalMinutes), account.checkAutomatically ? 1 : 0,
            account.clientCommand.c_str(), account.deleteImmediately ? 1 : 0, account.port);
    };
    const int length = print(nullptr, 0);
    if (length <= 0)
        return {};
    std::string line(static_cast<std::size_t>(length), '\0');
    print(line.data(), line.size() + 1);
    if (!account.notifyNewMail)
        line += quietLetter;
    if (account.security == ConnectionSecurity::None)
        return line;
    line += account.security == ConnectionSecurity::Stls ? stlsLetter : implicitTlsLetter;
    if (!account.trustedFingerprint.empty())
        line += fingerprintMark + account.trustedFingerprint;
    return line;
}

std::vector<std::string_view> splitProfileLine(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields.push_back(line.substr(start));
            break;
        }
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    if (fields.size() <= profileFieldCount)
        return fields;

    // Join the surplus back into the client command.
    const std::size_t count = fields.size();
    const std::string_view lastOfCommand = fields[count - 3];
    const auto commandStart =
        static_cast<std::size_t>(fields[ClientCommandField].data() - line.data());
    const auto commandEnd =
        static_cast<std::size_t>(lastOfCommand.data() - line.data()) + lastOfCommand.size();
    fields[ClientCommandField] = line.substr(commandStart, commandEnd - commandStart);
    fields[DeleteImmediatelyField] = fields[count - 2];
    fields[PortField] = fields[count - 1];
    fields.resize(profileFieldCount);
    return fields;
}

void applyProfileLine(Account& account, std::string_view line) {
    const std::vector<std::string_view> fields = splitProfileLine(line);
    const auto has = [&](Field field) { return static_cast<std::size_t>(field) < fields.size(); };

    if (has(HostField))
        account.setHost(std::string(fields[HostField]));
    if (has(UserField))
        account.setUser(std::string(fields[UserField]));
    if (has(PasswordField)) {
        std::string password(fields[PasswordField]);
        scramblePassword(password);
        account.password = std::move(password);
    }
    if (has(ShowIconField))
        account.setShowIcon(readInt(fields[ShowIconField]) != 0);
    // A negative colour or interval wraps to a large unsigned value, as it
    // always has; the setters turn those into colour 0 and the longest
    // interval.
    if (has(ColourField))
        account.setIconColour(static_cast<unsigned>(readInt(fields[ColourField])));
    if (has(IntervalField))
        account.setInterval(static_cast<unsigned>(readInt(fields[IntervalField])));
    if (has(CheckAutomaticallyField))
        account.setCheckAutomatically(readInt(fields[CheckAutomaticallyField]) != 0);
    if (has(ClientCommandField))
        account.clientCommand = std::string(fields[ClientCommandField]);
    if (has(DeleteImmediatelyField))
        account.deleteImmediately = readInt(fields[DeleteImmediatelyField]) != 0;
    if (has(PortField))
        applyPortField(account, fields[PortField]);
}

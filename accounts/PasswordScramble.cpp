#include "accounts/PasswordScramble.h"

namespace {
constexpr char key[] = "q7!Rv$Lm3%Tz8w";
constexpr std::size_t keyLength = sizeof key - 1;
} // namespace

char scrambledByte(char byte, std::size_t position) {
    const auto keyByte = static_cast<unsigned char>(key[position % keyLength]);
    return static_cast<char>(static_cast<unsigned char>(byte) ^
                             static_cast<unsigned char>(~keyByte));
}

void scramblePassword(std::string& password) {
    for (std::size_t i = 0; i < password.size(); ++i)
        password[i] = scrambledByte(password[i], i);
}

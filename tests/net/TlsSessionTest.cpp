#include "net/POP3Client.h"
#include "net/POP3Exception.h"

#include "servers/SampleMailbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace {

// STLS as the scripted server offers, refuses or breaks it: never a word of
// the login in plain text, and no wait longer than the socket's time-out.
TEST(POP3ClientStls, NeverLogsInWithoutTlsAndFailsInTime) {
    const auto offer = [](Pop3Server& server) { server.answer("capa", "+OK", {"TOP", "STLS", "UIDL"}); };
    const struct {
        const char* what;
        std::function<void(Pop3Server&)> script;
        int code;
    } cases[] = {
        {"capa refused", [](Pop3Server& server) { server.refuse("capa"); }, 13},
        {"no STLS listed", [](Pop3Server& server) { server.answer("capa", "+OK", {"TOP", "STLSX", "USER"}); }, 13},
        {"stls refused", [&](Pop3Server& server) { offer(server); server.refuse("stls"); }, 13},
        {"text slipped in before the handshake",
         [&](Pop3Server& server) { offer(server); server.raw("stls", "+OK\r\n+OK from someone\r\n"); }, 9},
        {"stalled mid-handshake",
         [&](Pop3Server& server) { offer(server); server.answer("stls", "+OK"); server.stallAfter("stls", 5); }, 1},
        {"closed mid-handshake",
         [&](Pop3Server& server) { offer(server); server.answer("stls", "+OK"); server.closeAfter("stls", 5); }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Pop3Server server(sampleMailbox(1));
        c.script(server);
        POP3::Client client(1000);
        client.setSecurity(ConnectionSecurity::Stls);
        const auto start = std::chrono::steady_clock::now();
        try {
            client.login("alice", "secret", "localhost", server.port());
            ADD_FAILURE() << "logged in";
        } catch (const POP3::Exception& e) {
            EXPECT_EQ(e.code, c.code) << e.message();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        // A server that refuses STLS may still hear "quit"; one that broke
        // the handshake hears nothing more.
        EXPECT_EQ(client.hasSocket(), c.code == 13);
        for (const std::string& line : server.transcript())
            EXPECT_FALSE(line.starts_with("user") || line.starts_with("pass")) << line;
    }
}

} // namespace

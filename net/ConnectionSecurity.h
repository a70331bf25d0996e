#pragma once

// How a profile's connection to its server is secured. None is plain text as
// POP3 always was; Stls upgrades the plain port after "STLS"; ImplicitTls
// speaks TLS from the first byte (port 995).
enum class ConnectionSecurity { None, Stls, ImplicitTls };

#pragma once

#include <QString>

#include <optional>

// A server as the user types it: "host", "host:port", "[v6]:port", or "pop3s://host[:port]" and
// "smtps://host[:port]" for TLS from the first byte, as is "host:995" for POP3 and "host:465" for
// SMTP (unless "pop3://" or "smtp://" asks for a plain connection). Without a port, the protocol's
// usual one.
struct ServerAddress {
    enum class Protocol { Pop3, Smtp };

    QString host;
    int port = 0;
    bool tlsFromStart = false;

    static std::optional<ServerAddress> parse(const QString& text, Protocol protocol);
    // What a connection says of a server name that parse() cannot read.
    static QString unreadableText(const QString& text, Protocol protocol);
    QString display() const;
};

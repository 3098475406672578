#pragma once

#include <cstdint>
#include <string>

namespace pigeonet::testing {

// A private Dovecot POP3 server started with tools/dovecot/dovecot.sh and stopped by its process id.
class DovecotServer {
  public:
    // `accounts`: "user:password" entries separated by blanks. Start() reports whether it runs.
    explicit DovecotServer(std::string accounts = "user:pass") : accounts_(std::move(accounts)) {}
    ~DovecotServer() { Stop(); }
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    // False (with the reason in why_not()) when Dovecot is not installed, the caller is not root, or it failed.
    bool Start();
    void Stop();
    // Puts `count` new messages into `user`'s Maildir.
    void Deliver(const std::string& user, int count);

    std::uint16_t port() const { return port_; }
    const std::string& why_not() const { return why_not_; }

  private:
    std::string accounts_;
    std::uint16_t port_ = 0;
    long pid_ = 0;
    std::string folder_;
    std::string why_not_;
};

// The source tree's root: $PIGEONET_SOURCE_DIR, or found from this file's place.
std::string SourceDir();

}  // namespace pigeonet::testing

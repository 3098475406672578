#pragma once

#include <cstdint>
#include <string>

namespace pigeonet::testing {

// A private Dovecot server started with tools/dovecot/dovecot.sh and stopped by its process id.
class DovecotServer {
  public:
    // `accounts`: "user:password" entries separated by blanks. `options`: dovecot.sh start's options, such as
    // "--imap" or "--starttls CERT KEY" (already quoted for the shell). Start() reports whether it runs.
    explicit DovecotServer(std::string accounts = "user:pass", std::string options = "")
        : accounts_(std::move(accounts)), options_(std::move(options)) {}
    ~DovecotServer() { Stop(); }
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    // False (with the reason in why_not()) when Dovecot is not installed, the caller is not root, or it failed.
    bool Start();
    void Stop();
    // Puts `count` new messages into `user`'s Maildir.
    void Deliver(const std::string& user, int count);
    // Marks `count` of `user`'s unseen messages seen, as another mail client would.
    void MarkSeen(const std::string& user, int count);
    // What Dovecot has logged so far.
    std::string Log() const;

    // The POP3 port (POP3S with --tls); the other listeners' ports are 0 when the options asked for none.
    std::uint16_t port() const { return port_; }
    std::uint16_t imap_port() const { return imap_port_; }
    std::uint16_t pop3s_port() const { return pop3s_port_; }
    std::uint16_t imaps_port() const { return imaps_port_; }
    const std::string& why_not() const { return why_not_; }

  private:
    std::string accounts_;
    std::string options_;
    std::uint16_t port_ = 0;
    std::uint16_t imap_port_ = 0;
    std::uint16_t pop3s_port_ = 0;
    std::uint16_t imaps_port_ = 0;
    long pid_ = 0;
    std::string folder_;
    std::string why_not_;
};

// A throwaway test authority and a certificate it signed for localhost and 127.0.0.1 (dovecot.sh certificate), in
// a temporary folder removed with it.
class TestCertificate {
  public:
    TestCertificate() = default;
    ~TestCertificate();
    TestCertificate(const TestCertificate&) = delete;
    TestCertificate& operator=(const TestCertificate&) = delete;

    // False when openssl failed or is missing.
    bool Make();
    std::string authority() const { return folder_ + "/test-ca.pem"; }
    // dovecot.sh's "CERT KEY" arguments, quoted for the shell.
    std::string cert_and_key() const;

  private:
    std::string folder_;
};

// The source tree's root: $PIGEONET_SOURCE_DIR, or found from this file's place.
std::string SourceDir();

}  // namespace pigeonet::testing

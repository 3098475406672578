#pragma once

#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "polling/probe_error.h"
#include "polling/socket.h"

namespace pigeonet {

// A TLS failure: the handshake (an untrusted or mismatched certificate, an alert, a peer that does not speak TLS)
// or a broken record later on. The message says what went wrong in words ("TLS handshake failed: certificate not
// trusted").
class TlsError : public ProbeError {
  public:
    explicit TlsError(const std::string& message) : ProbeError(ProbeErrorKind::Tls, message) {}
};

// The messages every engine uses for the failures a user can act on, so they read alike on every platform.
inline constexpr char kTlsUntrusted[] = "TLS handshake failed: certificate not trusted";
inline constexpr char kTlsWrongHost[] = "TLS handshake failed: certificate is for another host name";
inline constexpr char kTlsExpired[] = "TLS handshake failed: certificate has expired";
inline constexpr char kTlsNotTls[] = "TLS handshake failed: the server did not answer in TLS";
inline constexpr char kTlsClosed[] = "TLS handshake failed: the server closed the connection";
inline constexpr char kTlsHostUnchecked[] = "TLS handshake failed: the certificate cannot be checked for this host";

// A TLS 1.2+ client working on byte buffers only: the stream below moves the bytes, so waits, timeouts and the
// idle pump stay where they are for plain connections. One adapter per platform: Schannel on Windows
// (tls_engine_win32.cpp), OpenSSL natively (tls_engine_posix.cpp). The server's chain and host name are checked
// against the system's trust before the handshake counts as complete.
class TlsEngine {
  public:
    virtual ~TlsEngine() = default;

    // Takes what it can use from the front of `input` (erasing it) and appends records to send to `output`. The
    // first call, with nothing received, produces the client's hello. True once the handshake is complete and the
    // certificate accepted. Throws TlsError.
    virtual bool Handshake(std::string& input, std::string& output) = 0;
    // Decrypts the whole records at the front of `input` (erasing them) and appends their data to `plain`; any
    // records the engine must answer go to `output`. False once the peer's close notify has arrived. Throws
    // TlsError.
    virtual bool Decrypt(std::string& input, std::string& plain, std::string& output) = 0;
    // Appends the records carrying `plain` to `output`. Throws TlsError.
    virtual void Encrypt(std::string_view plain, std::string& output) = 0;
    // Appends the close notify alert to `output`; never throws.
    virtual void CloseNotify(std::string& output) = 0;
};

// This platform's engine for a server known as `host` (UTF-8). A host written as an address in any form the probe's
// connect accepts (HostAddressLiteral: "127.1" is 127.0.0.1) is checked as that address, against the certificate's
// IP address entries; any other host as a name, which is also sent as the server name (SNI). Throws TlsError when TLS
// cannot be set up, and kTlsHostUnchecked when the host cannot be set up for the check: an engine never connects
// without one.
std::unique_ptr<TlsEngine> CreatePlatformTlsEngine(const std::string& host);

// TLS over a connected TCP socket. The owner drives the handshake: Handshake() once, then WaitReadable and
// Handshake() again until it reports completion. Afterwards the stream reads and writes like the plain socket:
// WaitReadable reports true only once a whole record has brought data, the peer's close or a failure, so a read
// timeout applies to each wait for a record.
class TlsStream final : public ByteStream {
  public:
    TlsStream(std::unique_ptr<TcpSocket> socket, std::unique_ptr<TlsEngine> engine);
    ~TlsStream() override;

    // Feeds what has arrived to the handshake and sends its answer; true once complete. Throws TlsError,
    // SocketError.
    bool Handshake();

    bool IsOpen() const override;
    bool WaitReadable(int milliseconds) override;
    std::size_t Receive(char* buffer, std::size_t capacity) override;
    std::size_t Send(const char* data, std::size_t size) override;
    // Sends the close notify (when the handshake completed), then closes the socket.
    void Close() override;

  private:
    // One receive from the socket into raw_; records a close or a failure instead of raising it.
    void ReceiveRaw();
    // Decrypts what raw_ holds into plain_ and sends what the engine answers (key updates, say); records a close
    // notify or a failure for the reader instead of raising it.
    void DecryptRaw();
    void SendAll(const std::string& bytes);
    bool HasNews() const { return !plain_.empty() || peer_closed_ || failure_; }

    std::unique_ptr<TcpSocket> socket_;
    std::unique_ptr<TlsEngine> engine_;
    bool established_ = false;
    bool seen_first_byte_ = false;
    bool peer_closed_ = false;
    std::exception_ptr failure_;  // raised by the next Handshake or Receive
    std::string raw_;             // received bytes not yet taken by the engine
    std::string plain_;           // decrypted bytes not yet taken by Receive
    std::vector<char> chunk_;     // room for one receive from the socket
};

}  // namespace pigeonet

// The native build's TLS: Debian's OpenSSL on memory buffers, trusting what the system trusts (its default
// certificate paths, which SSL_CERT_FILE and SSL_CERT_DIR can point elsewhere).
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "polling/host_address.h"
#include "polling/tls_stream.h"

namespace pigeonet {

namespace {

std::string LastErrorText() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    return reason != nullptr ? reason : "protocol error";
}

struct ContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SessionFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
struct BufferFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};

// What the certificate is checked for. Every call's result counts: a check that could not be set up refuses the
// connection, since OpenSSL would otherwise accept any trusted certificate.
void SetExpectedPeer(SSL* ssl, const std::string& host) {
    X509_VERIFY_PARAM* parameters = SSL_get0_param(ssl);
    if (auto address = HostAddressLiteral(host)) {
        // No SNI for an address: server names are host names only.
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(*address >> 24), static_cast<unsigned char>(*address >> 16),
            static_cast<unsigned char>(*address >> 8), static_cast<unsigned char>(*address)};
        if (X509_VERIFY_PARAM_set1_ip(parameters, bytes, sizeof bytes) != 1) {
            throw TlsError(kTlsHostUnchecked);
        }
        return;
    }
    // An empty name would switch the name check off, and a zero byte would cut it short.
    if (host.empty() || host.find('\0') != std::string::npos ||
        X509_VERIFY_PARAM_set1_host(parameters, host.data(), host.size()) != 1 ||
        SSL_set_tlsext_host_name(ssl, host.c_str()) != 1) {
        throw TlsError(kTlsHostUnchecked);
    }
}

class OpenSslEngine final : public TlsEngine {
  public:
    explicit OpenSslEngine(const std::string& host) {
        ERR_clear_error();
        context_.reset(SSL_CTX_new(TLS_client_method()));
        if (!context_) {
            throw TlsError("TLS is not available: " + LastErrorText());
        }
        SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION);
        SSL_CTX_set_default_verify_paths(context_.get());
        SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);
        ssl_.reset(SSL_new(context_.get()));
        std::unique_ptr<BIO, BufferFree> in(BIO_new(BIO_s_mem()));
        std::unique_ptr<BIO, BufferFree> out(BIO_new(BIO_s_mem()));
        if (!ssl_ || !in || !out) {
            throw TlsError("TLS is not available: " + LastErrorText());
        }
        in_ = in.release();
        out_ = out.release();
        SSL_set_bio(ssl_.get(), in_, out_);  // the session owns both buffers from here on
        ERR_clear_error();
        SetExpectedPeer(ssl_.get(), host);
        SSL_set_connect_state(ssl_.get());
    }

    bool Handshake(std::string& input, std::string& output) override {
        Feed(input);
        const int result = SSL_do_handshake(ssl_.get());
        Drain(output);
        if (result == 1) {
            return true;
        }
        const int error = SSL_get_error(ssl_.get(), result);
        if (error == SSL_ERROR_WANT_READ) {
            ERR_clear_error();
            return false;
        }
        throw TlsError(HandshakeFailure());
    }

    bool Decrypt(std::string& input, std::string& plain, std::string& output) override {
        Feed(input);
        char buffer[16384];
        for (;;) {
            const int n = SSL_read(ssl_.get(), buffer, sizeof buffer);
            if (n > 0) {
                plain.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            const int error = SSL_get_error(ssl_.get(), n);
            Drain(output);
            if (error == SSL_ERROR_WANT_READ) {
                ERR_clear_error();
                return true;
            }
            if (error == SSL_ERROR_ZERO_RETURN) {
                return false;
            }
            throw TlsError("TLS error: " + LastErrorText());
        }
    }

    void Encrypt(std::string_view plain, std::string& output) override {
        std::size_t written = 0;
        if (!plain.empty() && SSL_write_ex(ssl_.get(), plain.data(), plain.size(), &written) != 1) {
            throw TlsError("TLS error: " + LastErrorText());
        }
        Drain(output);
    }

    void CloseNotify(std::string& output) override {
        SSL_shutdown(ssl_.get());
        ERR_clear_error();
        Drain(output);
    }

  private:
    void Feed(std::string& input) {
        if (!input.empty()) {
            BIO_write(in_, input.data(), static_cast<int>(input.size()));
            input.clear();
        }
    }

    void Drain(std::string& output) {
        char buffer[4096];
        int n;
        while ((n = BIO_read(out_, buffer, sizeof buffer)) > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
        }
    }

    std::string HandshakeFailure() {
        const long verdict = SSL_get_verify_result(ssl_.get());
        std::string detail = LastErrorText();
        switch (verdict) {
            case X509_V_OK:
                return "TLS handshake failed: " + detail;
            case X509_V_ERR_HOSTNAME_MISMATCH:
            case X509_V_ERR_IP_ADDRESS_MISMATCH:
                return kTlsWrongHost;
            case X509_V_ERR_CERT_HAS_EXPIRED:
            case X509_V_ERR_CERT_NOT_YET_VALID:
                return kTlsExpired;
            default:
                return kTlsUntrusted;
        }
    }

    // Declared in this order so the session goes before its context.
    std::unique_ptr<SSL_CTX, ContextFree> context_;
    std::unique_ptr<SSL, SessionFree> ssl_;
    BIO* in_ = nullptr;   // owned by ssl_
    BIO* out_ = nullptr;  // owned by ssl_
};

}  // namespace

std::unique_ptr<TlsEngine> CreatePlatformTlsEngine(const std::string& host) {
    return std::make_unique<OpenSslEngine>(host);
}

}  // namespace pigeonet

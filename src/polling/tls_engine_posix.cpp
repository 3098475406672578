// The native build's TLS: Debian's OpenSSL on memory buffers, trusting what the system trusts (its default
// certificate paths, which SSL_CERT_FILE and SSL_CERT_DIR can point elsewhere).
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "polling/tls_stream.h"

namespace pigeonet {

namespace {

bool IsIpAddress(const std::string& host) {
    return !host.empty() && host.find_first_not_of("0123456789.") == std::string::npos;
}

std::string LastErrorText() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    return reason != nullptr ? reason : "protocol error";
}

class OpenSslEngine final : public TlsEngine {
  public:
    explicit OpenSslEngine(const std::string& host) {
        ERR_clear_error();
        context_ = SSL_CTX_new(TLS_client_method());
        if (context_ == nullptr) {
            throw TlsError("TLS is not available: " + LastErrorText());
        }
        SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
        SSL_CTX_set_default_verify_paths(context_);
        SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
        ssl_ = SSL_new(context_);
        in_ = BIO_new(BIO_s_mem());
        out_ = BIO_new(BIO_s_mem());
        if (ssl_ == nullptr || in_ == nullptr || out_ == nullptr) {
            // A constructor that throws runs no destructor, and no buffer belongs to the session yet.
            const std::string detail = LastErrorText();
            SSL_free(ssl_);
            BIO_free(in_);
            BIO_free(out_);
            SSL_CTX_free(context_);
            throw TlsError("TLS is not available: " + detail);
        }
        SSL_set_bio(ssl_, in_, out_);  // the session owns both buffers from here on
        if (IsIpAddress(host)) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str());
        } else {
            SSL_set_tlsext_host_name(ssl_, host.c_str());
            SSL_set1_host(ssl_, host.c_str());
        }
        SSL_set_connect_state(ssl_);
    }

    ~OpenSslEngine() override {
        if (ssl_ != nullptr) {
            SSL_free(ssl_);
        } else {
            BIO_free(in_);
            BIO_free(out_);
        }
        SSL_CTX_free(context_);
    }

    bool Handshake(std::string& input, std::string& output) override {
        Feed(input);
        const int result = SSL_do_handshake(ssl_);
        Drain(output);
        if (result == 1) {
            return true;
        }
        const int error = SSL_get_error(ssl_, result);
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
            const int n = SSL_read(ssl_, buffer, sizeof buffer);
            if (n > 0) {
                plain.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            const int error = SSL_get_error(ssl_, n);
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
        if (!plain.empty() && SSL_write_ex(ssl_, plain.data(), plain.size(), &written) != 1) {
            throw TlsError("TLS error: " + LastErrorText());
        }
        Drain(output);
    }

    void CloseNotify(std::string& output) override {
        SSL_shutdown(ssl_);
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
        const long verdict = SSL_get_verify_result(ssl_);
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

    SSL_CTX* context_ = nullptr;
    SSL* ssl_ = nullptr;
    BIO* in_ = nullptr;
    BIO* out_ = nullptr;
};

}  // namespace

std::unique_ptr<TlsEngine> CreatePlatformTlsEngine(const std::string& host) {
    return std::make_unique<OpenSslEngine>(host);
}

}  // namespace pigeonet

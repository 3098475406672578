// Windows TLS: Schannel through SSPI, TLS 1.2 and later. Schannel is told to leave the certificate alone; the
// chain and the host name are then checked with the system's trust (CertGetCertificateChain and the SSL chain
// policy), which reads the same on every Windows version and under Wine. A host written as an address is checked
// here against the certificate's IP address entries: the SSL policy compares its server name with DNS names only
// under Wine, where "127.1" would then match a DNS entry "127.1" instead of the address the connection reached.
#include <windows.h>
#define SECURITY_WIN32
// SCH_CREDENTIALS and TLS_PARAMETERS are declared only with the blacklist types, which need UNICODE_STRING.
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <cstring>
#include <optional>
#include <vector>

#include "polling/host_address.h"
#include "polling/tls_stream.h"
#include "util/unicode_win32.h"

namespace pigeonet {

namespace {

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                ISC_REQ_MANUAL_CRED_VALIDATION;
// SECURITY_FLAG_IGNORE_CERT_CN_INVALID, which only WinINet's headers define.
constexpr DWORD kIgnoreServerName = 0x00001000;

std::string StatusText(const char* prefix, SECURITY_STATUS status) {
    char number[16];
    wsprintfA(number, "0x%08X", static_cast<unsigned>(status));
    switch (status) {
        case SEC_E_ALGORITHM_MISMATCH:
            return std::string(prefix) + "no protocol or cipher in common with the server";
        case SEC_E_ILLEGAL_MESSAGE:
            return std::string(prefix) + "the server sent an alert or an invalid message";
        case SEC_E_UNSUPPORTED_FUNCTION:
            return std::string(prefix) + "the protocol version is not supported";
        case SEC_E_DECRYPT_FAILURE:
        case SEC_E_MESSAGE_ALTERED:
            return std::string(prefix) + "a record could not be decrypted";
        default:
            return std::string(prefix) + "Schannel error " + number;
    }
}

std::string HandshakeText(SECURITY_STATUS status) {
    return StatusText("TLS handshake failed: ", status);
}

// Whether the certificate's subject alternative names hold `address` (host byte order) as an IP address entry.
bool NamesAddress(PCCERT_CONTEXT certificate, std::uint32_t address) {
    const CERT_INFO* info = certificate->pCertInfo;
    PCERT_EXTENSION extension = CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    if (extension == nullptr) {
        return false;
    }
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData, extension->Value.cbData,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size)) {
        return false;
    }
    const BYTE bytes[4] = {static_cast<BYTE>(address >> 24), static_cast<BYTE>(address >> 16),
                           static_cast<BYTE>(address >> 8), static_cast<BYTE>(address)};
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == sizeof bytes &&
                std::memcmp(entry.IPAddress.pbData, bytes, sizeof bytes) == 0;
    }
    LocalFree(names);
    return found;
}

class SchannelEngine final : public TlsEngine {
  public:
    explicit SchannelEngine(const std::string& host) : address_(HostAddressLiteral(host)) {
        if (!address_) {
            // An empty name would switch the policy's name check off, and a zero byte would cut it short.
            if (host.empty() || host.find('\0') != std::string::npos) {
                throw TlsError(kTlsHostUnchecked);
            }
            host_ = Widen(host);
        }
        SECURITY_STATUS status = AcquireModernCredentials();
        if (status != SEC_E_OK) {
            status = AcquireLegacyCredentials();
        }
        if (status != SEC_E_OK) {
            throw TlsError(StatusText("TLS is not available: ", status));
        }
        have_credentials_ = true;
    }

    ~SchannelEngine() override {
        if (have_context_) {
            DeleteSecurityContext(&context_);
        }
        if (have_credentials_) {
            FreeCredentialsHandle(&credentials_);
        }
    }

    bool Handshake(std::string& input, std::string& output) override {
        if (!have_context_) {
            Step(nullptr, output, true);
            return false;
        }
        while (!input.empty()) {
            const SECURITY_STATUS status = Step(&input, output, false);
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                return false;
            }
            if (status == SEC_E_OK) {
                Established();
                return true;
            }
        }
        return false;
    }

    bool Decrypt(std::string& input, std::string& plain, std::string& output) override {
        while (!input.empty()) {
            SecBuffer buffers[4] = {
                {static_cast<unsigned long>(input.size()), SECBUFFER_DATA, input.data()},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = DecryptMessage(&context_, &description, 0, nullptr);
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                return true;
            }
            if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
                throw TlsError(StatusText("TLS error: ", status));
            }
            // The buffers point into `input`: copy out before it changes.
            std::string extra;
            for (const SecBuffer& buffer : buffers) {
                if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
                    plain.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
                } else if (buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer > 0) {
                    extra.assign(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
                }
            }
            input = std::move(extra);
            if (status == SEC_I_CONTEXT_EXPIRED) {
                return false;
            }
            if (status == SEC_I_RENEGOTIATE) {
                // TLS 1.3 messages after the handshake (session tickets, key updates) go back to the context.
                SECURITY_STATUS again = SEC_I_CONTINUE_NEEDED;
                while (again == SEC_I_CONTINUE_NEEDED && !input.empty()) {
                    again = Step(&input, output, false);
                }
                if (again == SEC_I_CONTINUE_NEEDED && input.empty()) {
                    again = Step(nullptr, output, false);
                }
            }
        }
        return true;
    }

    void Encrypt(std::string_view plain, std::string& output) override {
        while (!plain.empty()) {
            const std::size_t part = std::min<std::size_t>(plain.size(), sizes_.cbMaximumMessage);
            std::vector<char> record(sizes_.cbHeader + part + sizes_.cbTrailer);
            std::memcpy(record.data() + sizes_.cbHeader, plain.data(), part);
            SecBuffer buffers[4] = {
                {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                {static_cast<unsigned long>(part), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
                {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + part},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = EncryptMessage(&context_, 0, &description, 0);
            if (status != SEC_E_OK) {
                throw TlsError(StatusText("TLS error: ", status));
            }
            for (int i = 0; i < 3; ++i) {
                output.append(static_cast<const char*>(buffers[i].pvBuffer), buffers[i].cbBuffer);
            }
            plain.remove_prefix(part);
        }
    }

    void CloseNotify(std::string& output) override {
        if (!have_context_) {
            return;
        }
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer token{sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc description{SECBUFFER_VERSION, 1, &token};
        if (ApplyControlToken(&context_, &description) != SEC_E_OK) {
            return;
        }
        Step(nullptr, output, false);
    }

  private:
    SECURITY_STATUS AcquireModernCredentials() {
        // Windows 10 1809 and later: protocols are chosen by what is disabled, which lets TLS 1.3 in.
        TLS_PARAMETERS parameters{};
        parameters.grbitDisabledProtocols = static_cast<DWORD>(~(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT));
        SCH_CREDENTIALS credentials{};
        credentials.dwVersion = SCH_CREDENTIALS_VERSION;
        credentials.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
        credentials.cTlsParameters = 1;
        credentials.pTlsParameters = &parameters;
        return Acquire(&credentials);
    }

    SECURITY_STATUS AcquireLegacyCredentials() {
        SCHANNEL_CRED credentials{};
        credentials.dwVersion = SCHANNEL_CRED_VERSION;
        credentials.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
        credentials.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        return Acquire(&credentials);
    }

    SECURITY_STATUS Acquire(void* credentials) {
        TimeStamp expiry;
        wchar_t package[] = UNISP_NAME_W;
        return AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, credentials, nullptr, nullptr,
                                         &credentials_, &expiry);
    }

    // One InitializeSecurityContextW call: feeds `input` (null: nothing), keeps its unused tail, appends the token
    // to send. Raises failures other than an incomplete record.
    SECURITY_STATUS Step(std::string* input, std::string& output, bool first) {
        SecBuffer in_buffers[2] = {
            {0, SECBUFFER_TOKEN, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc in_description{SECBUFFER_VERSION, 2, in_buffers};
        if (input != nullptr) {
            in_buffers[0].cbBuffer = static_cast<unsigned long>(input->size());
            in_buffers[0].pvBuffer = input->data();
        }
        SecBuffer out_buffers[2] = {
            {0, SECBUFFER_TOKEN, nullptr},
            {0, SECBUFFER_ALERT, nullptr},
        };
        SecBufferDesc out_description{SECBUFFER_VERSION, 2, out_buffers};
        ULONG attributes = 0;
        TimeStamp expiry;
        const SECURITY_STATUS status =
            InitializeSecurityContextW(&credentials_, first ? nullptr : &context_, ServerName(), kContextFlags, 0, 0,
                                       input != nullptr ? &in_description : nullptr, 0, first ? &context_ : nullptr,
                                       &out_description, &attributes, &expiry);
        if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) {
            have_context_ = true;
        }
        for (SecBuffer& buffer : out_buffers) {
            if (buffer.pvBuffer != nullptr) {
                if (buffer.BufferType == SECBUFFER_TOKEN) {
                    output.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
                }
                FreeContextBuffer(buffer.pvBuffer);
            }
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            return status;
        }
        if (input != nullptr) {
            if (in_buffers[1].BufferType == SECBUFFER_EXTRA && in_buffers[1].cbBuffer > 0) {
                input->erase(0, input->size() - in_buffers[1].cbBuffer);
            } else {
                input->clear();
            }
        }
        if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED || status == SEC_I_INCOMPLETE_CREDENTIALS) {
            return status == SEC_I_INCOMPLETE_CREDENTIALS ? SEC_I_CONTINUE_NEEDED : status;
        }
        if (status == SEC_E_CERT_EXPIRED) {
            throw TlsError(kTlsExpired);
        }
        if (status == SEC_E_UNTRUSTED_ROOT || status == SEC_E_CERT_UNKNOWN) {
            throw TlsError(kTlsUntrusted);
        }
        if (status == SEC_E_WRONG_PRINCIPAL) {
            throw TlsError(kTlsWrongHost);
        }
        throw TlsError(HandshakeText(status));
    }

    void Established() {
        VerifyCertificate();
        const SECURITY_STATUS status = QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
        if (status != SEC_E_OK) {
            throw TlsError(HandshakeText(status));
        }
    }

    // The target name Schannel sends as SNI: the host name, or nothing for an address.
    wchar_t* ServerName() { return address_ ? nullptr : host_.data(); }

    void VerifyCertificate() {
        PCCERT_CONTEXT certificate = nullptr;
        if (QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK ||
            certificate == nullptr) {
            throw TlsError("TLS handshake failed: the server sent no certificate");
        }
        const bool address_matches = address_ && NamesAddress(certificate, *address_);
        char server_auth[] = szOID_PKIX_KP_SERVER_AUTH;
        LPSTR usages[] = {server_auth};
        CERT_CHAIN_PARA chain_parameters{};
        chain_parameters.cbSize = sizeof chain_parameters;
        chain_parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
        chain_parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
        chain_parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
        PCCERT_CHAIN_CONTEXT chain = nullptr;
        const BOOL built = CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore,
                                                   &chain_parameters, 0, nullptr, &chain);
        CertFreeCertificateContext(certificate);
        if (!built || chain == nullptr) {
            throw TlsError(kTlsUntrusted);
        }
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl_parameters{};
        ssl_parameters.cbSize = sizeof ssl_parameters;
        ssl_parameters.dwAuthType = AUTHTYPE_SERVER;
        // For an address the policy checks the chain only; the address was compared above.
        ssl_parameters.pwszServerName = ServerName();
        if (address_) {
            ssl_parameters.fdwChecks = kIgnoreServerName;
        }
        CERT_CHAIN_POLICY_PARA policy{};
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &ssl_parameters;
        CERT_CHAIN_POLICY_STATUS verdict{};
        verdict.cbSize = sizeof verdict;
        const BOOL checked = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &verdict);
        const DWORD trust = chain->TrustStatus.dwErrorStatus;
        CertFreeCertificateChain(chain);
        // The chain's own verdict first: Wine's SSL policy passes a chain that ends at an unknown issuer.
        if ((trust & CERT_TRUST_IS_NOT_TIME_VALID) != 0) {
            throw TlsError(kTlsExpired);
        }
        constexpr DWORD kDistrusted = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                                      CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_REVOKED | CERT_TRUST_IS_CYCLIC |
                                      CERT_TRUST_IS_NOT_VALID_FOR_USAGE | CERT_TRUST_INVALID_BASIC_CONSTRAINTS |
                                      CERT_TRUST_IS_EXPLICIT_DISTRUST;
        if ((trust & kDistrusted) != 0) {
            throw TlsError(kTlsUntrusted);
        }
        if (!checked) {
            throw TlsError(kTlsUntrusted);
        }
        switch (static_cast<HRESULT>(verdict.dwError)) {
            case S_OK:
                if (address_ && !address_matches) {
                    throw TlsError(kTlsWrongHost);
                }
                return;
            case CERT_E_CN_NO_MATCH:
                throw TlsError(kTlsWrongHost);
            case CERT_E_EXPIRED:
                throw TlsError(kTlsExpired);
            default:
                throw TlsError(kTlsUntrusted);
        }
    }

    std::optional<std::uint32_t> address_;  // the host written as an address; the certificate must name it
    std::wstring host_;                     // otherwise the host name, which the certificate must carry
    CredHandle credentials_{};
    CtxtHandle context_{};
    bool have_credentials_ = false;
    bool have_context_ = false;
    SecPkgContext_StreamSizes sizes_{};
};

}  // namespace

std::unique_ptr<TlsEngine> CreatePlatformTlsEngine(const std::string& host) {
    return std::make_unique<SchannelEngine>(host);
}

}  // namespace pigeonet

#include "polling/tls_stream.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

namespace pigeonet {

namespace {

constexpr std::size_t kRawChunk = 16384 + 2048;  // one whole TLS record with its overhead

// TLS records begin with a content type byte from 20 to 24 (the record types TLS defines, heartbeat last); a POP3
// greeting such as "+OK" never does.
bool IsTlsRecordType(char c) {
    const auto type = static_cast<unsigned char>(c);
    return type >= 20 && type <= 24;
}

}  // namespace

TlsStream::TlsStream(std::unique_ptr<TcpSocket> socket, std::unique_ptr<TlsEngine> engine)
    : socket_(std::move(socket)), engine_(std::move(engine)) {}

TlsStream::~TlsStream() {
    Close();
}

bool TlsStream::Handshake() {
    if (established_) {
        return true;
    }
    if (!raw_.empty() && !seen_first_byte_) {
        seen_first_byte_ = true;
        if (!IsTlsRecordType(raw_.front())) {
            throw TlsError(kTlsNotTls);
        }
    }
    std::string output;
    bool done = false;
    try {
        done = engine_->Handshake(raw_, output);
    } catch (const TlsError&) {
        // The engine's alert, if it wrote one, tells the server why; its failure is the one to report.
        try {
            SendAll(output);
        } catch (const ProbeError&) {
        }
        throw;
    }
    SendAll(output);
    if (done) {
        established_ = true;
        if (!raw_.empty()) {
            // Records that came with the end of the handshake (a greeting, session tickets).
            DecryptRaw();
        }
        return true;
    }
    if (failure_) {
        std::rethrow_exception(std::exchange(failure_, nullptr));
    }
    if (peer_closed_) {
        throw TlsError(kTlsClosed);
    }
    return false;
}

bool TlsStream::IsOpen() const {
    return socket_ && socket_->IsOpen();
}

bool TlsStream::WaitReadable(int milliseconds) {
    if (!IsOpen()) {
        return false;
    }
    if (HasNews()) {
        return true;
    }
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        int left = -1;
        if (milliseconds >= 0) {
            const auto spent =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
            left = spent >= milliseconds ? 0 : milliseconds - static_cast<int>(spent);
        }
        if (!socket_->WaitReadable(left)) {
            return false;
        }
        ReceiveRaw();
        if (!established_) {
            // The handshake takes whatever arrived; Handshake() tells whether it was enough.
            return true;
        }
        if (!peer_closed_ && !failure_) {
            DecryptRaw();
        }
        if (HasNews()) {
            return true;
        }
        if (milliseconds >= 0 && left == 0) {
            return false;
        }
    }
}

void TlsStream::ReceiveRaw() {
    // One buffer for the stream's life: a server that sends a byte at a time costs no allocation per byte.
    chunk_.resize(kRawChunk);
    try {
        const std::size_t received = socket_->Receive(chunk_.data(), chunk_.size());
        if (received == 0) {
            peer_closed_ = true;
        } else {
            raw_.append(chunk_.data(), received);
        }
    } catch (const ProbeError&) {
        failure_ = std::current_exception();
    }
}

std::size_t TlsStream::Receive(char* buffer, std::size_t capacity) {
    while (!HasNews()) {
        if (!IsOpen()) {
            return 0;
        }
        WaitReadable(-1);
    }
    if (!plain_.empty()) {
        const std::size_t n = std::min(capacity, plain_.size());
        std::memcpy(buffer, plain_.data(), n);
        plain_.erase(0, n);
        return n;
    }
    if (failure_) {
        std::rethrow_exception(std::exchange(failure_, nullptr));
    }
    return 0;  // the peer's close notify, or the connection's end
}

std::size_t TlsStream::Send(const char* data, std::size_t size) {
    std::string records;
    engine_->Encrypt(std::string_view(data, size), records);
    SendAll(records);
    return size;
}

void TlsStream::DecryptRaw() {
    std::string answer;
    try {
        if (!engine_->Decrypt(raw_, plain_, answer)) {
            peer_closed_ = true;
        }
    } catch (const ProbeError&) {
        failure_ = std::current_exception();
    }
    // What the engine wrote goes out even before a broken record: its answers to the records before it, and the
    // alert that tells the server why the connection ends. Else they would depend on how the records arrived.
    try {
        SendAll(answer);
    } catch (const ProbeError&) {
        if (!failure_) {
            failure_ = std::current_exception();
        }
    }
}

void TlsStream::SendAll(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        sent += socket_->Send(bytes.data() + sent, bytes.size() - sent);
    }
}

void TlsStream::Close() {
    if (!IsOpen()) {
        return;
    }
    if (established_ && !failure_) {
        std::string alert;
        engine_->CloseNotify(alert);
        try {
            SendAll(alert);
        } catch (const ProbeError&) {
            // The peer has gone: nothing left to tell it.
        }
    }
    socket_->Close();
}

}  // namespace pigeonet

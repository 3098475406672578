#include "polling/support/scripted_socket.h"

#include <algorithm>
#include <cstring>

namespace pigeonet::testing {

class ScriptedSocket final : public TcpSocket {
  public:
    explicit ScriptedSocket(ScriptedSocketLayer& layer) : layer_(layer) {}

    bool IsOpen() const override { return open_; }

    bool WaitReadable(int milliseconds) override {
        if (layer_.record_read_waits) {
            layer_.read_waits.push_back(milliseconds);
        }
        if (!open_) {
            return false;
        }
        const bool silent_end = layer_.unread() == 0 && layer_.end == StreamEnd::Silence;
        if (silent_end || layer_.silent_read_waits > 0 || (milliseconds >= 0 && milliseconds < layer_.data_after_ms)) {
            layer_.silent_read_waits = std::max(0, layer_.silent_read_waits - 1);
            layer_.now_ms += std::max(0, milliseconds);
            return false;
        }
        layer_.now_ms += layer_.data_after_ms;
        return true;
    }

    std::size_t Receive(char* buffer, std::size_t capacity) override {
        if (layer_.unread() == 0) {
            switch (layer_.end) {
                case StreamEnd::Reset:
                    throw SocketError(10054, SocketFailure::Reset);
                case StreamEnd::Abort:
                    throw SocketError(10053, SocketFailure::Aborted);
                default:
                    return 0;
            }
        }
        std::size_t n = std::min(capacity, layer_.unread());
        if (!layer_.cuts.empty()) {
            n = std::min(n, layer_.cuts[layer_.next_cut_++ % layer_.cuts.size()]);
        }
        std::memcpy(buffer, layer_.incoming_.data() + layer_.taken_, n);
        layer_.taken_ += n;
        return n;
    }

    std::size_t Send(const char* data, std::size_t size) override {
        if (!open_) {
            throw SocketError(10058, SocketFailure::ShutDown);
        }
        const std::size_t n = layer_.send_cut == 0 ? size : std::min(size, layer_.send_cut);
        layer_.sent.append(data, n);
        return n;
    }

    void Close() override {
        open_ = false;
        layer_.closed = true;
    }

    ConnectProgress StartConnect(std::uint32_t, std::uint16_t) override {
        layer_.closed = false;
        return Outcome();
    }

    ConnectProgress WaitConnect(int milliseconds) override {
        layer_.connect_waits.push_back(milliseconds);
        if (layer_.pending_connect_waits < 0) {
            return {ConnectStatus::Pending, 0};
        }
        --layer_.pending_connect_waits;
        return Outcome();
    }

  private:
    ConnectProgress Outcome() const {
        if (layer_.pending_connect_waits != 0) {
            return {ConnectStatus::Pending, 0};
        }
        if (layer_.connect_error != 0) {
            return {ConnectStatus::Failed, layer_.connect_error, layer_.connect_failure};
        }
        return {ConnectStatus::Connected, 0};
    }

    ScriptedSocketLayer& layer_;
    bool open_ = true;
};

void ScriptedSocketLayer::Serve(std::string bytes) {
    incoming_ = std::move(bytes);
    taken_ = 0;
}

std::unique_ptr<TcpSocket> ScriptedSocketLayer::CreateSocket() {
    ++sockets;
    closed = false;
    return std::make_unique<ScriptedSocket>(*this);
}

std::uint32_t ScriptedSocketLayer::ResolveHost(const std::string& host) {
    resolved.push_back(host);
    return 0x0A000001;
}

}  // namespace pigeonet::testing

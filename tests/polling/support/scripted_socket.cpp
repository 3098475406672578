#include "polling/support/scripted_socket.h"

#include <algorithm>
#include <cstring>

namespace pigeonet::testing {

namespace {

class ScriptedSocket final : public TcpSocket {
  public:
    explicit ScriptedSocket(ScriptedSocketLayer& layer) : layer_(layer) {}

    bool IsOpen() const override { return !layer_.closed; }

    bool WaitReadable(int milliseconds) override {
        layer_.read_waits.push_back(milliseconds);
        if (layer_.silent_read_waits > 0 || (milliseconds >= 0 && milliseconds < layer_.data_after_ms)) {
            layer_.silent_read_waits = std::max(0, layer_.silent_read_waits - 1);
            layer_.now_ms += std::max(0, milliseconds);
            return false;
        }
        layer_.now_ms += layer_.data_after_ms;
        return true;
    }

    std::size_t Receive(char* buffer, std::size_t capacity) override {
        const std::size_t n = std::min({capacity, layer_.incoming.size(), layer_.receive_at_most});
        std::memcpy(buffer, layer_.incoming.data(), n);
        layer_.incoming.erase(0, n);
        return n;
    }

    std::size_t Send(const char* data, std::size_t size) override {
        layer_.sent.append(data, size);
        return size;
    }

    void Close() override { layer_.closed = true; }

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
            return {ConnectStatus::Failed, layer_.connect_error};
        }
        return {ConnectStatus::Connected, 0};
    }

    ScriptedSocketLayer& layer_;
};

}  // namespace

std::unique_ptr<TcpSocket> ScriptedSocketLayer::CreateSocket() {
    return std::make_unique<ScriptedSocket>(*this);
}

std::uint32_t ScriptedSocketLayer::ResolveHost(const std::string& host) {
    resolved.push_back(host);
    return 0x0A000001;
}

}  // namespace pigeonet::testing

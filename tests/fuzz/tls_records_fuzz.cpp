// The TLS record layer through the engine seam: a TlsStream over a scripted socket drives a stand-in engine whose
// records are easy to write (a TLS content type byte, a length byte, the payload), the way the probe drives it:
// handshake, a command, replies until the end. Beyond the sanitizers it checks the stream against a model of the
// records (the data delivered is exactly that of the whole data records before the first close or broken record,
// and the handshake's verdict is the model's), that the outcome does not depend on how the stream is cut, and that
// the stream holds no more than it was sent.
//
// Input: a flags byte (bits 0-1 how the stream ends: close, silence, reset, abort; bits 2-4 the receive size the
// reader asks for, 1 << n), a cut seed byte, then the server's bytes.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "polling/tls_stream.h"

namespace pigeonet::fuzzing {
namespace {

constexpr char kHandshake = 22;
constexpr char kAlert = 21;
constexpr char kData = 23;
constexpr char kChangeCipher = 20;
constexpr char kHeartbeat = 24;

// A whole record at the front of `bytes`: its type and payload; false while it is incomplete.
bool TakeRecord(std::string& bytes, char* type, std::string* payload) {
    if (bytes.size() < 2) {
        return false;
    }
    const std::size_t length = static_cast<unsigned char>(bytes[1]);
    if (bytes.size() < 2 + length) {
        return false;
    }
    *type = bytes[0];
    payload->assign(bytes, 2, length);
    bytes.erase(0, 2 + length);
    return true;
}

std::string Record(char type, std::string_view payload) {
    std::string record;
    while (true) {
        const std::size_t part = std::min<std::size_t>(payload.size(), 255);
        record += type;
        record += static_cast<char>(part);
        record.append(payload.substr(0, part));
        payload.remove_prefix(part);
        if (payload.empty()) {
            return record;
        }
    }
}

// Handshake records until one whose payload starts with "F" (finished); an alert or another type during the
// handshake fails it. Afterwards data records carry data, an alert of 0 is the close notify and any other alert a
// failure, handshake records are answered (a key update), ChangeCipherSpec and heartbeat records are ignored.
class RecordEngine final : public TlsEngine {
  public:
    bool Handshake(std::string& input, std::string& output) override {
        if (!hello_sent_) {
            hello_sent_ = true;
            output += Record(kHandshake, "hello");
            return false;
        }
        char type;
        std::string payload;
        while (TakeRecord(input, &type, &payload)) {
            if (type != kHandshake) {
                output += Record(kAlert, "\x02");
                throw TlsError("TLS handshake failed: unexpected record");
            }
            output += Record(kHandshake, "ack");
            if (!payload.empty() && payload[0] == 'F') {
                return true;
            }
        }
        return false;
    }

    bool Decrypt(std::string& input, std::string& plain, std::string& output) override {
        char type;
        std::string payload;
        while (TakeRecord(input, &type, &payload)) {
            switch (type) {
                case kData:
                    plain += payload;
                    break;
                case kAlert:
                    if (payload == std::string(1, '\0')) {
                        return false;
                    }
                    throw TlsError("TLS error: alert");
                case kHandshake:
                    output += Record(kHandshake, "update");
                    break;
                case kChangeCipher:
                case kHeartbeat:
                    break;
                default:
                    throw TlsError("TLS error: bad record type");
            }
        }
        return true;
    }

    void Encrypt(std::string_view plain, std::string& output) override { output += Record(kData, plain); }

    void CloseNotify(std::string& output) override { output += Record(kAlert, std::string(1, '\0')); }

  private:
    bool hello_sent_ = false;
};

std::string EndText(StreamEnd end) {
    switch (end) {
        case StreamEnd::Close:
            return "closed";
        case StreamEnd::Silence:
            return "timeout";
        case StreamEnd::Reset:
            return SocketError(10054).what();
        case StreamEnd::Abort:
            return SocketError(10053).what();
    }
    return "";
}

// What the stream must do with `stream`: the handshake's verdict, then the data and how the reading ends.
std::string Model(std::string stream, StreamEnd end) {
    if (!stream.empty()) {
        const auto first = static_cast<unsigned char>(stream[0]);
        if (first < 20 || first > 24) {
            return std::string("handshake ") + kTlsNotTls;
        }
    }
    char type;
    std::string payload;
    bool done = false;
    while (!done && TakeRecord(stream, &type, &payload)) {
        if (type != kHandshake) {
            return "handshake TLS handshake failed: unexpected record";
        }
        done = !payload.empty() && payload[0] == 'F';
    }
    if (!done) {
        return std::string("handshake ") + (end == StreamEnd::Close ? kTlsClosed : EndText(end));
    }
    std::string text = "handshake ok; data ";
    while (TakeRecord(stream, &type, &payload)) {
        if (type == kData) {
            text += payload;
        } else if (type == kAlert) {
            return text + "; end " + (payload == std::string(1, '\0') ? "closed" : "TLS error: alert");
        } else if (type != kHandshake && type != kChangeCipher && type != kHeartbeat) {
            return text + "; end TLS error: bad record type";
        }
    }
    return text + "; end " + EndText(end);
}

struct Outcome {
    std::string text;
    std::string sent;  // the client's records, summarised by Sent()
    std::string wire;  // the client's bytes as they went
};

// The client's records as the server reads them: its data in order, then how many records of each other kind.
// Answers to records that came with the end of the handshake go out before the first command when they arrive in
// one piece and after it otherwise, so only their number is compared, not where they stand.
std::string Sent(std::string wire) {
    std::string data;
    int handshakes = 0;
    int alerts = 0;
    char type;
    std::string payload;
    while (TakeRecord(wire, &type, &payload)) {
        if (type == kData) {
            data += payload;
        } else if (type == kAlert) {
            ++alerts;
        } else {
            ++handshakes;
        }
    }
    return data + "; " + std::to_string(handshakes) + " handshake, " + std::to_string(alerts) + " alert, " +
           std::to_string(wire.size()) + " bytes left";
}

// Drives `server` as the probe would, with a receive size of `capacity`.
Outcome Run(ScriptedSocketLayer& server, std::size_t capacity) {
    Outcome outcome;
    {
        TlsStream stream(server.CreateSocket(), std::make_unique<RecordEngine>());
        try {
            bool done = stream.Handshake();
            while (!done) {
                if (!stream.WaitReadable(5000)) {
                    throw std::runtime_error("timeout");
                }
                done = stream.Handshake();
            }
        } catch (const std::exception& error) {
            outcome.text = std::string("handshake ") + error.what();
            outcome.sent = Sent(server.sent);
            outcome.wire = server.sent;
            return outcome;
        }
        outcome.text = "handshake ok; data ";
        stream.Send("USER x\r\n", 8);
        std::vector<char> buffer(capacity);
        try {
            for (;;) {
                if (!stream.WaitReadable(5000)) {
                    throw std::runtime_error("timeout");
                }
                const std::size_t n = stream.Receive(buffer.data(), buffer.size());
                if (n == 0) {
                    outcome.text += "; end closed";
                    break;
                }
                outcome.text.append(buffer.data(), n);
            }
        } catch (const std::exception& error) {
            outcome.text += std::string("; end ") + error.what();
        }
        stream.Close();
    }
    outcome.sent = Sent(server.sent);
    outcome.wire = server.sent;
    return outcome;
}

}  // namespace
}  // namespace pigeonet::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pigeonet::fuzzing;
    InputReader input(data, size);
    const std::uint8_t flags = input.Byte();
    const std::uint8_t seed = input.Byte();
    const auto end = static_cast<StreamEnd>(flags & 3);
    const std::size_t capacity = std::size_t{1} << ((flags >> 2) & 7);
    const std::string stream(input.Rest());

    ScriptedSocketLayer whole_server;
    whole_server.Serve(stream);
    whole_server.record_read_waits = false;
    whole_server.end = end;
    ResetHeapPeak();
    const Outcome whole = Run(whole_server, capacity);
    // The stream keeps received bytes until they are used, and a receive buffer of one record.
    CheckHeapPeak("the stream", 4 * static_cast<long long>(stream.size()) + (256 << 10), stream.size());
    const std::string expected = Model(stream, end);
    if (whole.text != expected) {
        Violation("the stream differs from the model:\n  stream: " + whole.text + "\n  model:  " + expected);
    }

    ScriptedSocketLayer cut_server;
    cut_server.Serve(stream);
    cut_server.record_read_waits = false;
    cut_server.end = end;
    cut_server.cuts = CutsFromSeed(seed);
    const Outcome cut = Run(cut_server, capacity);
    if (cut.text != whole.text || cut.sent != whole.sent) {
        Violation("the outcome depends on how the stream is cut:\n  whole: " + whole.text + "\n         " + whole.sent +
                  "\n  cut:   " + cut.text + "\n         " + cut.sent + "\n  wire whole: " + whole.wire +
                  "\n  wire cut:   " + cut.wire);
    }
    return 0;
}

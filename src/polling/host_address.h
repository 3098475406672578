#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pigeonet {

class SocketLayer;

// A dotted quad as the probe reads it before any resolver: four parts separated by "." (the fourth is everything
// after the third "."), each a decimal number 0..255 of at most three digits ("010" is ten). Host byte order.
std::optional<std::uint32_t> ParseDottedQuad(std::string_view text);

// The IPv4 address (host byte order) that `host` is written as, read the way the probe's connect reads it: its own
// dotted quad first, then any numeric form the system's resolver accepts ("127.1", "2130706433", "0x7f.0.0.1").
// Nothing for a name, "localhost" included. A TLS engine checks the server's certificate for this address, so the
// check always concerns the machine the connection actually reached.
std::optional<std::uint32_t> HostAddressLiteral(const std::string& host);

// One host name looked up on a worker thread of its own: a name server that does not answer (about 10 s a try)
// holds up only that worker, while the caller waits in slices of its choosing, serves the GUI between them and may
// give up at any time. Nothing ever waits for the worker: one still asking when its lookup is destroyed finishes on
// its own and its answer is dropped. It keeps its own copy of the name and shares only the answer with the lookup,
// so `layer` is all that must outlive the worker (the platform's layer lives to the end of the process).
class HostLookup {
  public:
    HostLookup(SocketLayer& layer, std::string host);
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    // Waits up to `milliseconds` (0: only looks) for the answer; true once it is there.
    bool Wait(int milliseconds);
    // The address found (host byte order), or the resolver's own failure raised. Only once Wait said true.
    std::uint32_t Address() const;

  private:
    struct Answer;
    std::shared_ptr<Answer> answer_;
};

}  // namespace pigeonet

#pragma once
// A floor under a connection's speed, as curl's low-speed limit: fewer than
// `Bytes` received in a stretch of `TimeMs` is a stall. The read time-out is
// per receive, so without a floor one byte every few seconds would keep a
// download alive for ever.
#include <algorithm>
#include <cstdint>

class TNetSpeedFloor {
public:
    int Bytes = 0; // 0: no floor
    int TimeMs = 0;

    bool Active() const { return Bytes > 0 && TimeMs > 0; }
    // A new stretch begins (a fresh connection).
    void Start(std::uint64_t now)
    {
        FStart = now;
        FCount = 0;
    }
    void Received(int count) { FCount += static_cast<std::uint64_t>(std::max(count, 0)); }
    // The longest one wait may take (`timeout` < 0: none), so that a trickle
    // is judged even when each receive is answered within the time-out.
    int Bound(int timeout) const { return timeout < 0 ? TimeMs : std::min(timeout, TimeMs); }
    // Judges the stretch once it is over, and starts the next: true for a stall.
    bool Stalled(std::uint64_t now)
    {
        if (now - FStart < static_cast<std::uint64_t>(TimeMs))
            return false;
        const bool stalled = FCount < static_cast<std::uint64_t>(Bytes);
        Start(now);
        return stalled;
    }

private:
    std::uint64_t FStart = 0;
    std::uint64_t FCount = 0;
};

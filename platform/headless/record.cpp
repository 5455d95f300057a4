// The in-memory platform's watch on calls: a ring of the latest calls, a count per
// operation, and the injected faults.
#include <array>
#include <string>

#include "platform/common/host.h"
#include "platform/headless/headless.h"
#include "platform/headless/reset.h"

namespace {

struct Fault {
    std::string operation;
    std::string surface;
    HRESULT result;
    int remaining; // 0 or less: no limit
};

struct Record {
    std::vector<PlatformCall> ring; // filled up to HeadlessCallLimit, then overwritten
    size_t next = 0;                // where the next call goes once the ring is full
    std::array<int64_t, std::variant_size_v<PlatformCall>> counts = {};
    std::vector<Fault> faults;
    bool recording = true;
};

Record& State() {
    static Record record;
    return record;
}

} // namespace

void ResetRecord() {
    State() = Record{};
}

void RecordCall(PlatformCall call) {
    Record& record = State();
    ++record.counts[call.index()];
    if (!record.recording) return;
    if (record.ring.size() < HeadlessCallLimit) {
        record.ring.push_back(std::move(call));
        return;
    }
    record.ring[record.next] = std::move(call);
    record.next = (record.next + 1) % HeadlessCallLimit;
}

void HeadlessSetRecording(bool on) {
    State().recording = on;
}

bool HeadlessRecording() {
    return State().recording;
}

std::optional<HRESULT> TakeFault(std::string_view operation, std::string_view surface) {
    auto& faults = State().faults;
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it->operation != operation) continue;
        if (!it->surface.empty() && it->surface != surface) continue;
        const HRESULT result = it->result;
        if (it->remaining > 0 && --it->remaining == 0) faults.erase(it);
        return result;
    }
    return std::nullopt;
}

void HeadlessFail(std::string_view operation, std::string_view surface, HRESULT result, int count) {
    State().faults.push_back({std::string(operation), std::string(surface), result, count});
}

std::vector<PlatformCall> HeadlessCalls() {
    const Record& record = State();
    std::vector<PlatformCall> calls(record.ring.begin() + std::ptrdiff_t(record.next),
                                    record.ring.end());
    calls.insert(calls.end(), record.ring.begin(),
                 record.ring.begin() + std::ptrdiff_t(record.next));
    return calls;
}

int64_t HeadlessCallCount(size_t callIndex) {
    return callIndex < State().counts.size() ? State().counts[callIndex] : 0;
}

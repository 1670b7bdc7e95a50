// The engine's clock.
#include "app/clock.h"

#include <atomic>
#include <chrono>

namespace {
std::atomic<ClockSource*> installedSource{nullptr};

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

double secondsNow() {
    ClockSource* source = installedSource.load(std::memory_order_acquire);
    return source != nullptr ? source->now() : steadySeconds();
}

void setClockSource(ClockSource* source) {
    installedSource.store(source, std::memory_order_release);
}

ScopedClockSource::ScopedClockSource(ClockSource* source)
    : previous_(installedSource.exchange(source, std::memory_order_acq_rel)) {}

ScopedClockSource::~ScopedClockSource() {
    setClockSource(previous_);
}

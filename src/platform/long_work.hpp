#pragma once
// Conventions for long work: a synchronous function that takes a stop token and a progress callback,
// checks the token at its cancellation points and throws lf::Cancelled there.
#include <functional>
#include <stop_token>
#include <string>

#include "platform/error.hpp"

namespace lf {

using StopToken = std::stop_token;

// (done, total, text): the receiver shows text and done / total (0 when total is below 1).
using Progress = std::function<void(int done, int total, const std::string& text)>;

// Throws lf::Cancelled when a stop was requested. Called at each cancellation point.
inline void throwIfStopped(const StopToken& stop) {
    if (stop.stop_requested()) throw Cancelled();
}

inline void report(const Progress& progress, int done, int total, const std::string& text) {
    if (progress) progress(done, total, text);
}

}  // namespace lf

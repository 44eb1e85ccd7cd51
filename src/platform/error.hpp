#pragma once
// The program's failures. Every error a person can see carries its sentence as what(); the
// network layer's failures and cancellation are separate types so that retries and "Stopped."
// can tell them apart from errors that end an operation.
#include <stdexcept>
#include <string>

namespace lf {

// A failure with a user-facing sentence. Derived types build the exact texts of their area.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// The network layer failed: no connection, a time-out, a TLS failure. Retryable where a step says so.
class TransportError : public Error {
public:
    explicit TransportError(const std::string& message) : Error(message) {}

    // The other side kept silent until the time-out, rather than refusing or breaking the connection.
    static TransportError timeOut(const std::string& message) {
        TransportError error(message);
        error.timedOut_ = true;
        return error;
    }
    bool timedOut() const { return timedOut_; }

private:
    bool timedOut_ = false;
};

// The user stopped the work; shown as "Stopped." and never as a failure.
class Cancelled : public std::exception {
public:
    const char* what() const noexcept override { return "Stopped."; }
};

}  // namespace lf

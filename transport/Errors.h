#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace velmora {

// printf-style formatting into a std::string.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A system error as the server's log lines word it: "permission denied (13)".
std::string systemErrorText(int error);

// Base of every failure the core raises; the message is what the user is shown.
class VelmoraError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Transport failures: no address, read errors, failing waits.
class SocketConnectionError : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

// A failing socket call: create, connect, send, receive.
class SocketError : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

// The interpreter's own failures: bad values, unknown actions, refused objects.
class InterpreterError : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

// A failure reported by the peer, either as an error reply or as a failing invoke status.
class RemoteError : public VelmoraError {
  public:
    explicit RemoteError(const std::string& message, int32_t code = 0) : VelmoraError(message), code_(code) {}
    int32_t code() const { return code_; }

  private:
    int32_t code_;
};

}  // namespace velmora

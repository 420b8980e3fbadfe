#pragma once

#include <cstdint>
#include <string>

// The non-blocking TCP client socket the panel talks through. The core sees only this; the
// real one wraps QTcpSocket, tests use a fake. Its three events (connected, data arrival,
// disconnected) are delivered on the UI thread by whoever owns the component, which calls
// TCPComm's handlers.
class SocketComponent {
 public:
  // Last-error code for "would block": no data to read now, or no room to write now.
  static constexpr std::int16_t kWouldBlock = 24035;

  virtual ~SocketComponent() = default;

  virtual void SetRemoteHost(const std::string& address) = 0;
  virtual void SetRemotePort(std::int32_t port) = 0;
  // Starts an attempt and returns at once: 0 when started (or one is already in progress),
  // anything else when it failed at once. Success is announced by the connected event.
  virtual int Connect() = 0;
  // The panel's own request to close (not to be confused with the disconnected event, which the
  // window hands to TCPComm::scktSwitcher_Close): begins closing and raises no event for it. The
  // window's shutdown issues only this; dropping a link issues it and then Disconnect, so both
  // must be safe on a link that is already gone.
  virtual void RequestClose() = 0;
  // Ends the connection, whatever RequestClose left of it.
  virtual void Disconnect() = 0;
  virtual bool IsConnected() const = 0;
  // Returns a count; below 1 means nothing was taken (see LastError).
  virtual std::int32_t Write(const char* bytes, std::int32_t length) = 0;
  // How many bytes the last write took.
  virtual std::int16_t BytesTaken() const = 0;
  // Reads at most maxLength bytes into area; returns the count, below 1 when nothing was read.
  virtual std::int32_t Read(char* area, std::int32_t maxLength) = 0;
  virtual std::int16_t LastError() const = 0;
  // The panel left bytes unread while its backlog was full and has room again: raise data
  // arrival once more, later and not from inside this call, if the socket holds any. Without
  // it those bytes would wait for the server to send something new.
  virtual void ResumeDataArrival() = 0;
};

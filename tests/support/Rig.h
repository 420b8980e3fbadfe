#pragma once

#include <string>
#include <string_view>

#include "app/Variables.h"
#include "protocol/TCPComm.h"
#include "support/Fakes.h"

// The core as the panel wires it, with a recording fake at each edge: the shared state, the
// socket, the window and the error log around one TCPComm. A test that needs an edge to
// misbehave names its own fake class for it.
template <typename Socket = FakeSocket, typename Window = FakeWindow>
struct BasicRig {
  // The socket is open and the panel knows it, as after a connect that went through.
  void Connected() {
    socket.connected = true;
    vars.SocketConnected = kTrue;
  }
  // The socket reports the link up.
  void ComeUp() {
    socket.connected = true;
    comm.scktSwitcher_Connect();
  }
  // Bytes from the server, already read into the receive buffer; Receive also runs the
  // dispatcher once, as one tick of the decode timer does.
  void Buffer(std::string_view bytes) { vars.ReceiveBuffer.Append(bytes); }
  void Receive(std::string_view bytes) {
    Buffer(bytes);
    comm.ProcessReceiveBuffer();
  }
  std::string Left() const { return std::string(vars.ReceiveBuffer.View()); }

  Variables vars;
  Socket socket;
  Window window;
  RecordingReporter log;
  TCPComm comm{vars, socket, window, window, log};
};

using Rig = BasicRig<>;

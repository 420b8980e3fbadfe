#pragma once

#include <gtest/gtest.h>

#include <QLatin1String>
#include <memory>
#include <string>

#include "app/frmMain.h"
#include "support/GuiHelpers.h"
#include "support/LoopbackServer.h"
#include "support/TempFolder.h"
#include "support/Wait.h"

// The real main window in a folder of its own, its message boxes recorded instead of shown,
// and a Server Module listening on loopback for it.
class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listen());
    window = std::make_unique<frmMain>(folder.WithSeparator());
    boxes.watched = window.get();
    window->SetMessageBoxFn(boxes.Fn());
  }

  // Starts the panel on the given configuration file and shows its window.
  void StartPanel(const std::string& ini) {
    folder.Write("qevntpnl.ini", ini);
    window->Form_Load();
    window->show();
  }

  // The link is up on both sides.
  bool LinkUp(int timeoutMs = 5000) {
    return RunEventLoopUntil(
        [&] { return window->vars().SocketConnected == kTrue && server.peer != nullptr; },
        timeoutMs);
  }

  // A control of the window or of its setup dialog, by name.
  template <typename T = QWidget>
  T* Child(const char* name) {
    return window->findChild<T*>(QLatin1String(name));
  }

  TempFolder folder;
  BoxRecorder boxes;
  LoopbackServer server;
  std::unique_ptr<frmMain> window;
};

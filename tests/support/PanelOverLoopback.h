#pragma once

#include <gtest/gtest.h>

#include <QPushButton>
#include <memory>
#include <string>

#include "app/frmMain.h"
#include "support/LoopbackServer.h"
#include "support/TempFolder.h"
#include "support/Wait.h"

// The real main window and socket against the loopback Server Module, the panel in a folder
// of its own.
class PanelOverLoopback : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.Listen()); }

  // Starts the panel on the given configuration file and shows its window.
  void StartPanel(const std::string& ini) {
    folder.Write("qevntpnl.ini", ini);
    window = std::make_unique<frmMain>(folder.WithSeparator());
    window->Form_Load();
    window->show();
  }

  // The link is up on both sides.
  bool LinkUp(int timeoutMs = 5000) {
    return RunEventLoopUntil(
        [&] { return window->vars().SocketConnected == kTrue && server.peer != nullptr; },
        timeoutMs);
  }

  QPushButton* Button(const char* name) {
    return window->findChild<QPushButton*>(QLatin1String(name));
  }

  TempFolder folder;
  LoopbackServer server;
  std::unique_ptr<frmMain> window;
};

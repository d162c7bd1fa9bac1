#include <gtest/gtest.h>

#include <sstream>

#include "platform/UserInterface.h"

using namespace corvina::platform;

TEST(HeadlessUserInterface, PrintsEachBoxWithItsAnswer) {
  std::ostringstream boxes, status;
  HeadlessUserInterface ui(boxes, &status);
  EXPECT_EQ(ui.MessageBox("Reconnect?", "Corvina", Buttons::YesNo, Answer::No), Answer::No);
  ui.QueueAnswer(Answer::Yes);
  EXPECT_EQ(ui.MessageBox("Again?", "Corvina", Buttons::YesNo, Answer::No), Answer::Yes);
  EXPECT_EQ(boxes.str(), "[Corvina] Reconnect? -> No\n[Corvina] Again? -> Yes\n");
  ui.SetStatusText("Connected");
  ui.SetStatusText("Connected");  // unchanged text is not printed twice
  ui.SetStatusText("Not connected");
  EXPECT_EQ(status.str(), "Connected\nNot connected\n");
}

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

TEST(HeadlessUserInterface, QueuedAnswersWaitForAQuestionThatOffersThem) {
  std::ostringstream boxes, status;
  HeadlessUserInterface ui(boxes, &status);
  ui.QueueAnswer(Answer::Yes);
  ui.QueueAnswer(Answer::Ignore);
  // An error box is no question; a question without a Yes button keeps its default.
  EXPECT_EQ(ui.MessageBox("Socket error", "Corvina", Buttons::Ok, Answer::Ok), Answer::Ok);
  EXPECT_EQ(ui.MessageBox("Save?", "Corvina", Buttons::OkCancel, Answer::Cancel), Answer::Cancel);
  EXPECT_EQ(ui.MessageBox("Reconnect?", "Corvina", Buttons::YesNo, Answer::No), Answer::Yes);
  EXPECT_EQ(ui.MessageBox("Open failed", "Corvina", Buttons::AbortRetryIgnore, Answer::Abort), Answer::Ignore);
  EXPECT_EQ(ui.MessageBox("Retry?", "Corvina", Buttons::RetryCancel, Answer::Cancel), Answer::Cancel);
  // The core's Latin-1 texts reach the terminal as UTF-8.
  ui.SetStatusText("Caf\xE9");
  EXPECT_EQ(boxes.str(),
            "[Corvina] Socket error -> OK\n[Corvina] Save? -> Cancel\n[Corvina] Reconnect? -> Yes\n"
            "[Corvina] Open failed -> Ignore\n[Corvina] Retry? -> Cancel\n");
  EXPECT_EQ(status.str(), "Caf\xC3\xA9\n");
}

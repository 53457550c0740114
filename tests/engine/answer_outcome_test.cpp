// What a decoded message leaves for the engine reaches it whole, and a
// message that was not accepted leaves the engine as it was.

#include "engine/answer_outcome.h"

#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "history/history_readout.h"

namespace qz {
namespace {

DecodeOutcome Accepted(std::string_view eventText) {
  DecodeOutcome outcome;
  outcome.Accepted = true;
  outcome.EventText = eventText;
  return outcome;
}

TEST(AnswerOutcome, HistoryReadsGoIntoTheReadQueue) {
  EngineState engine;
  DecodeOutcome outcome = Accepted("positions");
  outcome.HistoryReads = HistoryReadoutRequests(2, 0, 50000);
  EXPECT_EQ(ApplyAnswerOutcome(engine, outcome), 1);
  EXPECT_EQ(engine.ReadQueue.Count(), (500000 + 191) / 192);
  EXPECT_TRUE(engine.ReadQueue.HasHistoryRequests());
  EXPECT_EQ(engine.PendingEventText.str(), "positions");
}

TEST(AnswerOutcome, AnAcceptedMessageSetsOrClearsTheAcknowledgement) {
  EngineState engine;
  DecodeOutcome report = Accepted("report");
  report.AckRequired = true;
  report.AckFrame = "ack";
  ASSERT_EQ(ApplyAnswerOutcome(engine, report), 1);
  EXPECT_EQ(engine.AckPending, 1);
  EXPECT_EQ(engine.AckText.str(), "ack");

  ASSERT_EQ(ApplyAnswerOutcome(engine, Accepted("answer")), 1);
  EXPECT_EQ(engine.AckPending, 0);
  EXPECT_EQ(engine.PendingEventText.str(), "answer");
}

TEST(AnswerOutcome, ARejectedMessageChangesNothing) {
  EngineState engine;
  engine.PendingEventText = "earlier";
  engine.AckPending = 1;
  engine.AckText = "ack";
  DecodeOutcome rejected;
  rejected.HistoryReads = HistoryReadoutRequests(2, 0, 10);
  EXPECT_EQ(ApplyAnswerOutcome(engine, rejected), 0);
  EXPECT_EQ(engine.PendingEventText.str(), "earlier");
  EXPECT_EQ(engine.AckPending, 1);
  EXPECT_EQ(engine.AckText.str(), "ack");
  EXPECT_EQ(engine.ReadQueue.Count(), 0);
}

}  // namespace
}  // namespace qz

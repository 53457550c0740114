#include <gtest/gtest.h>

#include "host/answer_handling.h"
#include "host/driver_state.h"
#include "protocol/codecs.h"
#include "protocol/framing.h"
#include "protocol/request_encoding.h"
#include "protocol_fixture.h"

namespace qz {
namespace {

using testing::Hex;

class QqTest : public testing::ProtocolFixture {
 protected:
  QqTest() : st(AddStation(5)) {
    state.Config.MasterAddress = 1;
    state.Config.Prefix = Hex("FF 02");
  }

  std::string FromStation(const std::string& body) {
    std::string m = std::string{1, 0, 'Y', 0, 0, 5} + body;
    m[1] = static_cast<char>(m.size() - 1);
    m.push_back(static_cast<char>(CheckByte(m)));
    return m;
  }
  // The frame the driver sent for a QQ request of that kind and data.
  std::string Sent(std::uint32_t kind, const std::string& data) {
    Request r;
    r.Station = 1;
    r.Kind = static_cast<RequestKind>(kind);
    r.Data = data;
    return CodeMess(state.Config, state.Log, r).str();
  }
  int Decode(const std::string& body, const std::string& sent = "") {
    return DecodeAnswer(state, FromStation(body), sent);
  }
  std::string Event() const { return state.Engine.PendingEventText.str(); }

  void ReadPositions(const std::string& values) {
    state.History.Query.HistoryState = HistoryPhase::ReadingPositions;
    state.History.Query.HistoryUser = 1;
    state.History.Query.HistoryStation = 1;
    ASSERT_EQ(Decode("Qq" + values, Sent(16, Hex("00 00 01 BA 01 0D BA 01 0E BA 01 05"))), 1);
  }

  StationRecord& st;
  std::unique_ptr<HistoryImage>& image() { return state.History.ImageSlot(1); }
};

TEST_F(QqTest, NoticeAndPasswordCodes) {
  ASSERT_EQ(Decode("Q!0" + Hex("42 01 01")), 1);
  EXPECT_EQ(st.BinarInValue[1], 1);
  ASSERT_EQ(Decode("QH1abcde" + Hex("42 01 02")), 1);
  EXPECT_NE(Event().find("HESLO "), std::string::npos);
  EXPECT_EQ(st.BinarInValue[2], 1);
  ASSERT_EQ(Decode("QH0" + Hex("42 01 04")), 1);
  EXPECT_EQ(st.BinarInValue[3], 1);
  ASSERT_EQ(Decode("Qz" + Hex("42 01 08")), 1);  // unknown sub-code: two bytes skipped
  EXPECT_EQ(st.BinarInValue[4], 1);
}

TEST_F(QqTest, PositionsAnswerPlansTheReadout) {
  ReadPositions(Hex("01 00 00 00  07 00 00 00  82 00 00 00  64 00 00 00"));
  EXPECT_EQ(state.History.Query.HistoryCapacity, 50000);
  EXPECT_EQ(state.History.Query.HistoryAux, 7);
  EXPECT_EQ(state.History.Query.HistoryTop, 130);
  EXPECT_EQ(state.History.Query.HistoryUserPos, 100);
  EXPECT_EQ(state.History.Query.HistoryState, HistoryPhase::ReadingRecords);
  EXPECT_EQ(Event(), "HDB: pozice vy\xE8teny (UserPos=100, Top=130).");
  const auto& items = state.Engine.ReadQueue.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items.front().Kind, RequestKind::HistoryFirst);
  EXPECT_EQ(items.front().Item, 0x03E8);
  EXPECT_EQ(items.front().Data.byte(0), 192);
  EXPECT_EQ(items.back().Item, 0x04A8);
  EXPECT_EQ(items.back().Data.byte(0), 108);
}

TEST_F(QqTest, PositionsAnswerWithNothingNewOrAMarker) {
  ReadPositions(Hex("02 00 00 00  07 00 00 00  64 00 00 00  64 00 00 00"));
  EXPECT_EQ(state.History.Query.HistoryState, HistoryPhase::Finished);
  EXPECT_EQ(state.History.Query.HistoryCapacity, 6500);
  EXPECT_EQ(Event(), "HDB: pozice vy\xE8teny. Nic nov\xE9ho.");
  ReadPositions(Hex("01 00 00 00  BE BE BE BE  82 00 00 00  64 00 00 00"));
  EXPECT_EQ(state.History.Query.HistoryState, HistoryPhase::Failed);
  EXPECT_TRUE(state.Engine.ReadQueue.Empty());
}

TEST_F(QqTest, ReadAnswerWithTooFewValuesIsASyncError) {
  QqVariable v;
  v.Block = 1; v.Group = 2; v.Item = 3;
  v.Type = QqType::Longint;
  AppendQqVariable(st, v);
  ASSERT_EQ(Decode("Qq" + Hex("05 00 00 00 06 00 00 00"), Sent(16, Hex("01 02 03 01 02 04 01 02 05"))), 1);
  EXPECT_EQ(st.QqVariables->IntValue, 0);
  EXPECT_EQ(Event().find("QQ/"), std::string::npos);
}

TEST_F(QqTest, ReadAnswerStoresVariablesByType) {
  QqVariable v;
  v.Block = 1; v.Group = 2; v.Item = 3;
  v.Type = QqType::Longint;
  AppendQqVariable(st, v);
  v.Item = 4; v.Type = QqType::Real;
  AppendQqVariable(st, v);
  v.Item = 20; v.Type = QqType::String;
  AppendQqVariable(st, v);
  v.Item = 5; v.Type = QqType::Integer; v.Direction = QqDirection::Write;
  AppendQqVariable(st, v);
  ASSERT_EQ(Decode("Qq" + Hex("FE FF FF FF 00 00 48 41 41 42 7E 44 09 00 00 00"),
                   Sent(16, Hex("01 02 03 01 02 04 01 02 17 01 02 05"))),
            1);
  const QqVariable& longint = *st.QqVariables;
  const QqVariable& real = *longint.Next;
  const QqVariable& text = *real.Next;
  const QqVariable& writeOnly = *text.Next;
  EXPECT_EQ(longint.IntValue, -2);
  EXPECT_EQ(longint.FloatValue, -2.0f);
  EXPECT_EQ(real.FloatValue, 12.5f);
  EXPECT_EQ(text.Text.str().substr(12, 4), "AB>D");  // item 23 is the fourth part
  EXPECT_EQ(text.Text.size(), 33u);
  EXPECT_EQ(writeOnly.FloatValue, 0.0f);  // write-only variables take no answer
  EXPECT_NE(Event().find("QQ/\xE8ten\xED (4x) "), std::string::npos);
}

TEST_F(QqTest, AnswerToAnotherRequestIsSkipped) {
  QqVariable v;
  v.Block = 1; v.Group = 2; v.Item = 3;
  v.Type = QqType::Longint;
  AppendQqVariable(st, v);
  ASSERT_EQ(Decode("Qq" + Hex("05 00 00 00"), Sent(15, Hex("01 02 03 05 00 00 00"))), 1);
  EXPECT_EQ(st.QqVariables->IntValue, 0);
}

TEST_F(QqTest, WriteAnswerCompletesTheUserPosition) {
  state.History.Query.HistoryState = HistoryPhase::WritingUserPos;
  state.History.Query.HistoryUser = 1;
  state.History.Query.HistoryTop = 130;
  state.History.Query.HistoryStation = 1;
  state.History.Query.HistoryRecordIndex = 0;
  image() = std::make_unique<HistoryImage>();
  const std::uint32_t seconds = 5097600;  // 29 February 2000
  for (int i = 0; i < 4; ++i) image()->Bytes[static_cast<std::size_t>(2 + i)] = static_cast<std::uint8_t>(seconds >> (8 * i));
  ASSERT_EQ(Decode("QQ", Sent(15, Hex("BA 01 05 82 00 00 00"))), 1);
  EXPECT_EQ(state.History.Query.HistoryState, HistoryPhase::Finished);
  EXPECT_EQ(state.History.Query.HistoryUserPos, 130);
  EXPECT_EQ(Event(), "HDB: z\xE1pis nov\xE9 \"UserPos\" provedeno. QQ/z\xE1pis");
  EXPECT_EQ(state.History.Query.DateWords, (std::array<std::uint16_t, 6>{29, 2, 2000, 0, 0, 0}));
}

TEST_F(QqTest, HistoryImageAnswersWhileReadingRecords) {
  const std::string data = Hex("11 22 33");
  const std::string body = "QN" + Hex("F1 FE FF 03") + data + Hex("00");
  ASSERT_EQ(Decode(body), 1);
  EXPECT_FALSE(image());  // not reading records
  state.History.Query.HistoryState = HistoryPhase::ReadingRecords;
  ASSERT_EQ(Decode(body), 1);
  ASSERT_TRUE(image());
  EXPECT_EQ(image()->Bytes[65536 + 0xFFFE], 0x11);
  EXPECT_EQ(image()->Bytes[65536 + 0xFFFF], 0x22);
  EXPECT_EQ(image()->Bytes[65536 + 0x10000], 0x33);
  // Bank 247 near the end: bytes beyond the image are dropped.
  ASSERT_EQ(Decode("QN" + Hex("F7 1E A1 03") + data + Hex("00")), 1);
  EXPECT_EQ(image()->Bytes[499998], 0x11);
  EXPECT_EQ(image()->Bytes[499999], 0x22);
  EXPECT_EQ(state.History.Query.HistoryBusy, 0);
}

std::string SampleData() {
  std::string data;
  for (int j = 0; j < 6; ++j) {
    std::string record = Hex("24 12 31 23 59 58");  // 24-12-31 23:59:58
    record.push_back(static_cast<char>(j));             // status
    for (int v = 0; v < 8; ++v) record += std::string{static_cast<char>(v), static_cast<char>(j), 0x55};
    data += record;
  }
  return data;
}

TEST_F(QqTest, SamplesOfTheSelectedPeriod) {
  std::uint8_t hostBuffer[64] = {};
  state.Samples.HostBuffer = hostBuffer;
  state.Samples.HistorySamplesActive = 1;
  state.Samples.HistoryPeriod = 2;
  const std::uint16_t a = 0x8000 + 87 * 186;
  const std::string header = std::string("QN") + "H" + std::string{static_cast<char>(a & 0xFF), static_cast<char>(a >> 8)} + Hex("BA");
  ASSERT_EQ(Decode(header + SampleData() + Hex("00")), 1);  // kind 72 with period 2
  EXPECT_EQ((*state.Samples.HistorySamples)[523].Status, 0);
  EXPECT_EQ(Event().find("vzorky"), std::string::npos);

  std::string body = header;
  body[2] = 'L';  // kind 76
  ASSERT_EQ(Decode(body + SampleData() + Hex("00")), 1);
  const HistorySample& s = (*state.Samples.HistorySamples)[528];
  EXPECT_EQ(s.Time, (std::array<std::uint8_t, 6>{24, 12, 31, 23, 59, 58}));
  EXPECT_EQ(s.Status, 5);
  EXPECT_EQ(s.Values[7].str(), std::string("\x07\x05\x55", 3));
  EXPECT_EQ((*state.Samples.HistorySamples)[523].Status, 0);
  EXPECT_NE(Event().find("vzorky (523 a\x9E 528) "), std::string::npos);
  EXPECT_EQ(state.Samples.HistorySamplesActive, 0);
  EXPECT_EQ(hostBuffer[8], 528 & 0xFF);
  EXPECT_EQ(hostBuffer[9], 528 >> 8);
  EXPECT_EQ(hostBuffer[24], 2);
}

}  // namespace
}  // namespace qz

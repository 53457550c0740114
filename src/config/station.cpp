#include "config/station.h"

#include <string>

namespace qz {

namespace {

const char* const kStatusChannelNames[kStatusChannelCount] = {
    "MsgCounter",        "ErrorNoAnswer",      "ErrorInMess",        "SilenceTime",
    "SleepTime",         "ErrCount",           "Video",              "out_read_AImorven",
    "out_read_CT",       "out_write_BO",       "out_write_MO",       "in_now_comm",
    "in_last_com_err",   "bi_new_BI",          "bi_new_AI",          "bi_new_CT",
    "bi_new_MI",         "bi_new_err_control", "out_write_restart",  "out_read_BI",
    "out_read_KI",       "out_write_KO",       "out_read_AI",        "out_connect_modem",
    "in_connecting_modem", "in_connected_modem", "in_active_message", "out_write_all_BO_MO",
    "name_channel",      "CallCode",
};

template <class Node>
void AppendNode(std::unique_ptr<Node>& head, std::unique_ptr<Node> node) {
  std::unique_ptr<Node>* tail = &head;
  while (*tail) tail = &(*tail)->Next;
  *tail = std::move(node);
}

}  // namespace

int BlockItemSize(BlockItemType type) {
  switch (type) {
    case BlockItemType::Byte: return 1;
    case BlockItemType::Word:
    case BlockItemType::Integer: return 2;
    case BlockItemType::Cardinal:
    case BlockItemType::Longint: return 4;
    case BlockItemType::Real: return 3;
  }
  return 0;
}

const char* StatusChannelName(StatusChannel channel) {
  const int i = static_cast<int>(channel);
  return i >= 1 && i <= kStatusChannelCount ? kStatusChannelNames[i - 1] : "";
}

StationRecord::StationRecord() = default;
StationRecord::~StationRecord() {
  FreeList(QqVariables);
  FreeList(MemoryBlocks);
}

void ClearStationValues(StationRecord& st) {
  st.BinarInValue.fill(0);
  st.BinarOutValue.fill(0);
  st.AnalogInValue.fill(Real6{});
  for (std::size_t i = 1; i <= kMaxMemoryIn; ++i) st.MemoryIn[i].Value = 0.0;
  for (auto& m : st.MemoryOut) m.Value = 0.0;
  for (auto& c : st.Counters) {
    c.PrevValue = c.Value;
    c.Work = 0;
  }
  st.RequestCount = 0;
  st.TimeoutCount = 0;
  st.ErrorAnswerCount = 0;
  st.SilenceSeconds = 0.0;
  st.TimeoutRun = 0;
  st.SleepTimer = 0.0;
  st.WorkReal = 0.0;
  for (std::size_t i = 1; i <= 4; ++i) st.DisplayLines[i] = "<line " + std::to_string(i) + ">";
}

void AppendQqVariable(StationRecord& station, const QqVariable& definition) {
  auto node = std::make_unique<QqVariable>();
  node->Key = definition.Key;
  node->Direction = definition.Direction;
  node->Block = definition.Block;
  node->Group = definition.Group;
  node->Item = definition.Item;
  node->Type = definition.Type;
  node->FloatValue = definition.FloatValue;
  node->IntValue = definition.IntValue;
  node->Text = definition.Text;
  node->Work = definition.Work;
  AppendNode(station.QqVariables, std::move(node));
}

void AppendMemoryBlock(StationRecord& station, const MemoryBlock& definition) {
  auto node = std::make_unique<MemoryBlock>();
  node->Addr = definition.Addr;
  node->Channel = definition.Channel;
  node->ByteCount = definition.ByteCount;
  node->Types = definition.Types;
  node->Directions = definition.Directions;
  node->Items = definition.Items;
  node->ChannelRead = definition.ChannelRead;
  AppendNode(station.MemoryBlocks, std::move(node));
}

}  // namespace qz

#pragma once
// A small valid parameter file with known line numbers, and variants of it
// with one line changed.

#include <string>
#include <vector>

namespace qz::tool::test {

// Line n of the file is kLines[n - 1].
inline const std::vector<std::string> kLines = {
    "[COM]",                                                                  // 1
    "  IRQ 4  BASE $3F8",                                                     // 2
    "  BAUD 9600",                                                            // 3
    "  BITS 8  PARITY NONE  STOP 1",                                          // 4
    "  OPTIONS 0  BUFFER_SIZE 4096",                                          // 5
    "  DRIVER SYSTEM 1",                                                      // 6
    "END",                                                                    // 7
    "[GLOBAL]",                                                               // 8
    "  PREFIX $10$02",                                                        // 9
    "  SUFFIX $10$03",                                                        // 10
    "  PRESUFFIX NONE",                                                       // 11
    "  ADDRESS 1",                                                            // 12
    "  ANSWER_TIME 1.5",                                                      // 13
    "  SILENCE_WAIT 20  RTS_TIME_ON 5  RTS_TIME_OFF 5",                       // 14
    "  DEF_ANALOG_IN_ADDR 256",                                               // 15
    "  SLEEP_COUNT 5",                                                        // 16
    "END",                                                                    // 17
    "[STATION]",                                                              // 18
    "  ADDRESS 11  RETRANSLATION 0",                                          // 19
    "  NAME \" One\"",                                                        // 20
    "  NUM_BINAR_IN 8  NUM_BINAR_OUT 0  NUM_ANALOG_IN 0  NUM_COUNTER_IN 0",   // 21
    "  NUM_MEMORY_IN 0  NUM_MEMORY_OUT 0",                                    // 22
    "  BINAR_IN_XOR NONE  BINAR_OUT_XOR NONE",                                // 23
    "  DEF_ANALOG_IN_ADDR FROM_GLOBAL",                                       // 24
    "  DEF_MEMORY_IN NONE  DEF_MEMORY_OUT NONE  DEF_COUNTER_IN NONE",         // 25
    "  ORIGINAL_CHANNELS",                                                    // 26
    "END",                                                                    // 27
    "[STATION]",                                                              // 28
    "  ADDRESS 12  RETRANSLATION 0",                                          // 29
    "  NAME \" Two\"",                                                        // 30
    "  NUM_BINAR_IN 8  NUM_BINAR_OUT 0  NUM_ANALOG_IN 0  NUM_COUNTER_IN 0",   // 31
    "  NUM_MEMORY_IN 0  NUM_MEMORY_OUT 0",                                    // 32
    "  BINAR_IN_XOR NONE  BINAR_OUT_XOR NONE",                                // 33
    "  DEF_ANALOG_IN_ADDR FROM_GLOBAL",                                       // 34
    "  DEF_MEMORY_IN NONE  DEF_MEMORY_OUT NONE  DEF_COUNTER_IN NONE",         // 35
    "  ORIGINAL_CHANNELS",                                                    // 36
    "END",                                                                    // 37
};

// The file with line n replaced (n 0: unchanged); CR LF line ends.
inline std::string ParText(int line = 0, const std::string& replacement = {}) {
  std::string text;
  for (std::size_t i = 0; i < kLines.size(); ++i) {
    text += static_cast<int>(i) + 1 == line ? replacement : kLines[i];
    text += "\r\n";
  }
  return text;
}

}  // namespace qz::tool::test

#pragma once
// The [COM] and [GLOBAL] groups of the parameter file.

#include <span>
#include <string>
#include <string_view>

namespace qz {

class ParReader;

// Read the group after its name was found. False with ParseErrorText set
// when END is missing or a required keyword is missing or invalid.
bool ReadComGroup(ParReader& reader);
bool ReadGlobalGroup(ParReader& reader);

// The keywords of the groups in table order, END last.
std::span<const std::string_view> ComKeywords();
std::span<const std::string_view> GlobalKeywords();

// The port summary of the event list: "COM1, 9600 8 N 1".
std::string PortSummary(int port, int baud, int dataBits, int parity, int stopBits);

// The CUC_PATH folder as the driver keeps it: ending in one separator, and
// the root folder when the folder does not exist.
std::string NormaliseCucPath(std::string_view path);

}  // namespace qz

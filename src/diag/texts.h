#pragma once
// Every text the driver shows, logs or returns, as Windows-1250 bytes.
//
// Texts are written with \x escapes so that the bytes do not depend on the
// encoding of this file; tools convert them with Cp1250ToUtf8 for a terminal.
// Each subsystem keeps its texts in its own section below.

#include <string_view>

namespace qz::text {

// --- Identity --------------------------------------------------------------
inline constexpr std::string_view kDriverInfo = "Vorlan-RK/VL2, RS232/485, v.5.017";
inline constexpr std::string_view kLabelNameText = "Vorlan RK/RKm/VL2, RS232/RS485, max. 100 stanic";
inline constexpr std::string_view kLabelVersionText = "5.017 - 2007/08/20";
inline constexpr std::string_view kQueryVersionName = "GetVersion";

// --- Status window: design-time captions ----------------------------------
inline constexpr std::string_view kWindowDesignCaption = "QZ Driver";
inline constexpr std::string_view kGroupBoxCaption = "Stav ovlada\xE8" "e";
inline constexpr std::string_view kLabelNameDesign = "N\xE1zev:";
inline constexpr std::string_view kLabelVersionDesign = "Verze:";
inline constexpr std::string_view kEventListDesign = "EventList";
inline constexpr std::string_view kLabelComDesign = "LabelCOM";
inline constexpr std::string_view kLabelIdleDesign = "Interval hlavn\xEDho threadu: ";
inline constexpr std::string_view kLabelTransmitDesign = "Nevy\xF8\xEDzen\xFD" "ch po\x9E" "adavk\xF9:";
inline constexpr std::string_view kLabelPacketDesign = "Komunika\xE8n\xED" "ch zpr\xE1v:";
inline constexpr std::string_view kLabelPrnDesign = "Log:";
inline constexpr std::string_view kLabelMemDesign = "LabelMem";

// --- Status window: run-time lines ----------------------------------------
inline constexpr std::string_view kCaptionSeparator = ": ";
inline constexpr std::string_view kLabelPrnFormat = "Log: %s (%s)";
inline constexpr std::string_view kLogOn = "ZAP";
inline constexpr std::string_view kLogOff = "vyp";
inline constexpr std::string_view kLabelComFormat = "P\xF8ipojen\xED: COM%d, %dBd, %d%s%d";
inline constexpr std::string_view kParityLetters = "NEOMS";
inline constexpr std::string_view kLabelIdleFormat =
    "Hlavn\xED thread: %1.1fms (%1.1fms max, %1.1fms pr\xF9m\xECr)";
inline constexpr std::string_view kLabelTransmitFormat =
    "Nevy\xF8\xEDzen\xFD" "ch po\x9E" "adavk\xF9: \xE8ten\xED: %1.0f, z\xE1pis: %1.0f";
inline constexpr std::string_view kLabelPacketFormat =
    "Kom.zpr\xE1v: Vysl\xE1no: %1.0f, P\xF8ijato: %1.0f, Chyb: %1.0f";
inline constexpr std::string_view kLabelMemPrefix = "Alokovan\xE1 pam\xECt: ";
inline constexpr std::string_view kLabelMemSuffix = " kB";

// --- Start of an instance ---------------------------------------------------
inline constexpr std::string_view kEvtDriverName = "N\xE1zev ovlada\xE8" "e v aplikaci: ";
inline constexpr std::string_view kEvtParFile = "Parametrick\xFD soubor: ";
inline constexpr std::string_view kEvtAccessLevel = "\xDArove\xF2 pro p\xF8ihl\xE1\x9A" "en\xED: ";
inline constexpr std::string_view kEvtHdb = "HDB...";
inline constexpr std::string_view kEvtHdbOk = "HDB Ok.";
inline constexpr std::string_view kEvtInitOk = "Inicializace OK";
inline constexpr std::string_view kComInstallError = "Chyba instalace COM-portu !";
// Our own: the parameter file could not be opened or read at all.
inline constexpr std::string_view kParFileOpenError = "Nelze otev\xF8\xEDt parametrick\xFD soubor ";

// --- Log labels and texts ---------------------------------------------------
inline constexpr std::string_view kLogHexDump = "Hex Dump";
inline constexpr std::string_view kLogAddToMemo = "AddToMemo";
inline constexpr std::string_view kLogDefaultPrefix = "QZDRK485_";
inline constexpr std::string_view kLogDefaultSuffix = ".LOG";

}  // namespace qz::text

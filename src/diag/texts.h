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

// Log lines of the start and the end of an instance.
inline constexpr std::string_view kLogInit = "Init";
inline constexpr std::string_view kLogInitStart = "Start";
inline constexpr std::string_view kLogInitStep = "init";
inline constexpr std::string_view kLogStationsReset = "reset data stations OK";
inline constexpr std::string_view kLogEngineReset = "return reset buffer - INIT = TRUE";
inline constexpr std::string_view kLogParFileLoaded = "LoadPARfile";
inline constexpr std::string_view kLogParFileOk = "OK";
inline constexpr std::string_view kLogParFileError = "PARfile ERROR";
inline constexpr std::string_view kLogParFileSettings = "LOADPARFILE";
inline constexpr std::string_view kLogSelfReadingOn = "PrstynekRUN=true";
inline constexpr std::string_view kLogDone = "done";
inline constexpr std::string_view kLogQueuesEmpty = "queues are empty";
inline constexpr std::string_view kLogStationsClosed = "stations/data closed";
inline constexpr std::string_view kLogDoneEnd = "end";

// --- Serial port set-up -----------------------------------------------------
inline constexpr std::string_view kEvtPortSetup = "Inicializace portu: ";
inline constexpr std::string_view kEvtPortOpenError = "Chyba p\xF8i otev\xF8" "en\xED portu !";
// Our own: the port's title ("COM3" or "COM3 (/dev/ttyUSB0)") and the
// system's error text.
inline constexpr std::string_view kEvtPortOpenFailed = "Port %s nelze otev\xF8\xEDt: %s";
inline constexpr std::string_view kEvtPortLost = "Port %s odpojen: %s";
inline constexpr std::string_view kEvtPortBack = "Port %s znovu otev\xF8" "en";
inline constexpr std::string_view kLogConfigurePort = "ConfigurePort";

// --- Log labels and texts ---------------------------------------------------
inline constexpr std::string_view kLogHexDump = "Hex Dump";
inline constexpr std::string_view kLogAddToMemo = "AddToMemo";
inline constexpr std::string_view kLogDefaultPrefix = "QZDRK485_";
inline constexpr std::string_view kLogDefaultSuffix = ".LOG";

// --- Parameter file ---------------------------------------------------------
inline constexpr std::string_view kDiagsMarker = "$DIAGS";
inline constexpr std::string_view kGroupCom = "[COM]";
inline constexpr std::string_view kGroupGlobal = "[GLOBAL]";
inline constexpr std::string_view kGroupStation = "[STATION]";
inline constexpr std::string_view kErrGroupMissing = "Chyb\xED definice skupiny ";
inline constexpr std::string_view kErrGroupNoEnd = "Chyb\xED END na konci skupiny ";
inline constexpr std::string_view kErrBadKeyword = "Chybn\xE1 definice prom\xECnn\xE9 ";
inline constexpr std::string_view kErrKeywordGroupSeparator = " / ";
inline constexpr std::string_view kErrTooManyStations = "Prekrocen maximalni pocet stanic";
inline constexpr std::string_view kEvtGlobalOk = "GLOBAL info OK.";
inline constexpr std::string_view kEvtStation = "STANICE ";
inline constexpr std::string_view kEvtStationQq = "  -> QQ/blok -> Vorlan-Line2";
// Log labels and texts of the reader.
inline constexpr std::string_view kLogParItem = "PARfile ITEM";
inline constexpr std::string_view kLogParError = "PARfile ERROR";
inline constexpr std::string_view kLogSetGroupPos = "SetGroupPos";
inline constexpr std::string_view kLogGroupOk = "ok ";
inline constexpr std::string_view kLogGroupErr = "ERR! ";
inline constexpr std::string_view kLogLoadSwitch = "LoadSwitch";
inline constexpr std::string_view kLogLoadSwitchIn = "in";
inline constexpr std::string_view kLogLoadSwitchOk = "LoadSwitchOK";
inline constexpr std::string_view kLogLoadString = "LoadString";
inline constexpr std::string_view kLogLoadParameterFile = "LoadParameterFile";
inline constexpr std::string_view kLogLoad = "Load";
inline constexpr std::string_view kLogLoadCom = "COM";
inline constexpr std::string_view kLogLoadGlobal = "GLOBAL";
inline constexpr std::string_view kLogLoadStationsEnd = "LoadStations END";
inline constexpr std::string_view kLogLoadTrue = "TRUE";
inline constexpr std::string_view kLogOptions = "OPTIONS";
inline constexpr std::string_view kLogFound = "found";
inline constexpr std::string_view kLogLoadStations = "LoadStations";
inline constexpr std::string_view kLogIndexFound = "index found";
inline constexpr std::string_view kLogLoadSt = "loadst";
inline constexpr std::string_view kLogEofNoEnd = "err-eof and not groupEnd";
inline constexpr std::string_view kLogItemNotLoaded = ". item not loaded";
inline constexpr std::string_view kLogStationOk = "station OK";
inline constexpr std::string_view kLogLoadBinarXor = "LoadBinarXOR";
inline constexpr std::string_view kLogLoadMemoryCfg = "LoadMemoryOutCfg";
inline constexpr std::string_view kLogLoadMem = "LoadMem";
inline constexpr std::string_view kLogArrayFound = "\"ARRAY\" found - Blocked read enabled";
inline constexpr std::string_view kLogOkTrue = "OK=true";
inline constexpr std::string_view kLogOkFalse = "OK=false !!!";
inline constexpr std::string_view kLogLoadCounterCfg = "LoadCounterInCfg";
inline constexpr std::string_view kLogLoadAnalogs = "Load analogs";
inline constexpr std::string_view kLogLoadAnalogsIndex = "load analogs index";
inline constexpr std::string_view kLogPhone = "phone number is";

// --- Protocol: request encoding, receiving and answer decoding -----------
inline constexpr std::string_view kLogCodeMess = "CodeMess";
inline constexpr std::string_view kCodeMessStationAddr = "STadr:";
inline constexpr std::string_view kCodeMessKind = " typ:";
inline constexpr std::string_view kLogCodeMessMiBlock = "CodeMess MI whole block, adr";
inline constexpr std::string_view kLogCodeMessMi = "CodeMess MI, adr";
inline constexpr std::string_view kLogReceiveData = "ReceiveDATA";
inline constexpr std::string_view kLogRxPrefix = "Prefix";
inline constexpr std::string_view kLogRxMessage = "Message";
inline constexpr std::string_view kLogRxXorOk = "XOR OK";
inline constexpr std::string_view kLogRxSaveIt = "SaveIt";
// A frame that does not answer the request on the line: another station's
// frame or report, or a late answer of the station asked.
inline constexpr std::string_view kLogRxNotTheAnswer = "not the answer";
inline constexpr std::string_view kLogRxLateAnswer = "late answer, values not stored";
inline constexpr std::string_view kLogDecodeReceived = "Decode Received Message";
inline constexpr std::string_view kEvtAnswerMark = "<<<-- ";
inline constexpr std::string_view kEvtAnswerNameEnd = " - ";
inline constexpr std::string_view kEvtAnalogMorven = "AImorven ";
inline constexpr std::string_view kEvtBinaryIn = "BI ";
inline constexpr std::string_view kEvtBinaryOut = "BO ";
inline constexpr std::string_view kEvtCounters = "CTC ";
inline constexpr std::string_view kEvtCountersZeroed = "CTC/nulov\xE1n\xED ";
inline constexpr std::string_view kEvtErrorNumber = "chyba \xE8.";
inline constexpr std::string_view kEvtActiveReport = "AH ";
inline constexpr std::string_view kEvtMemoryOutRead = "KI ";
inline constexpr std::string_view kEvtMemoryOutEcho = "KO ";
inline constexpr std::string_view kEvtWriteAtAddress = "z\xE1pis na adr. ";
inline constexpr std::string_view kEvtControlError = "chyba \xF8\xEDzen\xED ";
inline constexpr std::string_view kEvtAnalogMemory = "AI ";
inline constexpr std::string_view kEvtMemoryInBlock = "MI/block";
inline constexpr std::string_view kEvtMemoryIn = "MI";
inline constexpr std::string_view kEvtMemoryBlock = "MB(";
inline constexpr std::string_view kLogAnswer = "Answer";
inline constexpr std::string_view kLogAnswerAck = "AH";
inline constexpr std::string_view kLogSend = "SEND";
inline constexpr std::string_view kLogAnalogWord = "AI Word";
inline constexpr std::string_view kLogAnalogLow = "ADSM ";
inline constexpr std::string_view kLogAnalogHigh = "ADHM ";
inline constexpr std::string_view kLogAnalogValue = "AI ";
inline constexpr std::string_view kLogDecodeMi = "decodeMess MI";
inline constexpr std::string_view kLogMiIndex = "index ";
inline constexpr std::string_view kLogMiAddr = " adr ";
inline constexpr std::string_view kLogMiValue = " value ";
inline constexpr std::string_view kErrorText0 = "P\xF8\xEDjem pasiv. hl\xE1\x9A" "en\xED OK";
inline constexpr std::string_view kErrorText1 = "Spojen\xED nenav\xE1z\xE1no";
inline constexpr std::string_view kErrorText2 = "Chyba p\xF8" "enosu podstanice";
inline constexpr std::string_view kErrorText3 = "Chyba spoj. PC-CENTR\xC1LA";
inline constexpr std::string_view kErrorText4 = "P\xF8\xEDjem aktiv. hl\xE1\x9A" "en\xED OK";
inline constexpr std::string_view kErrorText5 = "Spojen\xED p\xF8" "eru\x9A" "eno";
inline constexpr std::string_view kErrorText6 = "Chybn\xFD po\x9E" "adavek z PC";
inline constexpr std::string_view kErrorText7 = "Chyba \xF8\xEDzen\xED na stanici";
inline constexpr std::string_view kErrorText8 = "Chyba HESLA ve zpr\xE1v\xEC !";
// QQ variables and history answers.
inline constexpr std::string_view kEvtPassword = "HESLO ";
inline constexpr std::string_view kEvtSamples = "vzorky (";
inline constexpr std::string_view kEvtSamplesTo = " a\x9E ";
inline constexpr std::string_view kEvtSamplesEnd = ") ";
inline constexpr std::string_view kEvtUserPosWritten = "HDB: z\xE1pis nov\xE9 \"UserPos\" provedeno. ";
inline constexpr std::string_view kEvtQqWriteAnswer = "QQ/z\xE1pis";
inline constexpr std::string_view kEvtQqReadAnswer = "QQ/\xE8ten\xED (";
inline constexpr std::string_view kEvtQqReadAnswerEnd = "x) ";
inline constexpr std::string_view kLogQqData = "QQ Data";
inline constexpr std::string_view kLogQqSyncError = "Sync error!";
inline constexpr std::string_view kLogQqDecode = "QQ Data Decode";
inline constexpr std::string_view kLogQqStart = "Start";
inline constexpr std::string_view kLogQqEnd = "End";
inline constexpr std::string_view kLogQqItem = "QQ item";
inline constexpr std::string_view kLogQqReal = "QQ Real = ";
inline constexpr std::string_view kEvtPositionsNothingNew = "HDB: pozice vy\xE8teny. Nic nov\xE9ho.";
inline constexpr std::string_view kEvtPositionsFormat = "HDB: pozice vy\xE8teny (UserPos=%d, Top=%d).";
// --- History files -------------------------------------------------------
inline constexpr std::string_view kHistoryFileSuffix = ".hdb";
inline constexpr std::string_view kLogHistory = "HDB";
inline constexpr std::string_view kLogHistorySaveFailed = "save failed: ";
// A short or unreadable file is renamed aside before its station gets a
// cleared image: file name, new name.
inline constexpr std::string_view kEvtHistoryKeptAside = "HDB: vadn\xFD soubor %s odlo\x9E" "en jako %s";
inline constexpr std::string_view kEvtHistoryNotKeptAside = "HDB: vadn\xFD soubor %s nelze odlo\x9Eit";
inline constexpr std::string_view kLogHistoryKeptAside = "short or unreadable file %s (%s) kept as %s";
inline constexpr std::string_view kLogHistoryNotKeptAside = "short or unreadable file %s (%s) not kept aside: %s";
inline constexpr std::string_view kLogHistoryLinkReplaced = "%s was a link to %s; the link is now the saved file";


// --- Communication engine -------------------------------------------------
inline constexpr std::string_view kEvtQqWrite = " - QQ/z\xE1pis (";
inline constexpr std::string_view kEvtQqRead = " - QQ/\xE8ten\xED (";
inline constexpr std::string_view kEvtQqReadEnd = "x)";
inline constexpr std::string_view kEvtQueueCompressed = "Fronta po\x9E" "adavk\xF9 pro VL2 zkomprimov\xE1na ( ";
inline constexpr std::string_view kEvtTimeout = " - p\xF8" "ekro\xE8" "en\xED \xE8" "asu (";
inline constexpr std::string_view kEvtSleepStart = " - start m\xF3" "du \x22sleep\x22";
inline constexpr std::string_view kEvtSleepEnd = " - konec m\xF3" "du \x22sleep\x22";
inline constexpr std::string_view kEvtFullSleepEnd = "Konec \xFApln\xE9ho m\xF3" "du \x22sleep\x22";
inline constexpr std::string_view kEvtHistoryDone = "HDB: \xE8ten\xED dokon\xE8" "eno -> z\xE1pis nov\xE9 \x22UserPos\x22 (%d)";
inline constexpr std::string_view kEvtHistoryTimeout = "HDB: p\xF8" "eru\x9A" "eno \xE8ten\xED - timeout";
// The transaction machine's and the cycle's log lines.
inline constexpr std::string_view kLogRing = "prstynek";
inline constexpr std::string_view kLogRingWritePriority = "station NOT sleep -> lets go / priority";
inline constexpr std::string_view kLogRingRead = "station NOT sleep -> lets go";
inline constexpr std::string_view kLogRingPoll = "NOT trans-queue -> lets read data";
inline constexpr std::string_view kLogRingAllAsleep = "all stations sleep -> do nothing";
inline constexpr std::string_view kLogRingTransmit = "transmit now";
inline constexpr std::string_view kLogRtsOn = "RTS ON";
inline constexpr std::string_view kLogRtsStillOn = "RTS STILL ON, BEGIN";
inline constexpr std::string_view kLogRtsOff = "RTS OFF";
inline constexpr std::string_view kLogTransmit = "TRANSMIT";
inline constexpr std::string_view kLogPhaseStart = "START";
inline constexpr std::string_view kLogPhaseEnd = "END";
inline constexpr std::string_view kLogTransmitMessage = "Transmit Message";
inline constexpr std::string_view kLogExtractData = "ExtractDATA";
inline constexpr std::string_view kLogDecodeResult = "DecodeMess = ";

// --- Host data: writes, commands and the modem -----------------------------
inline constexpr std::string_view kEvtQqAssign = " - QQ[";
inline constexpr std::string_view kEvtQqAssignValue = "]=";
inline constexpr std::string_view kEvtBinarOut = " - BO";
inline constexpr std::string_view kEvtMemoryOut = " - MO";
inline constexpr std::string_view kEvtSetErrorCounter = " - nastaven\xED po\xE8\xEDtadla chyb = ";
inline constexpr std::string_view kEvtSetMsgCounter = " - nastaven\xED po\xE8\xEDtadla zpr\xE1v = ";
inline constexpr std::string_view kEvtReadBI = " - BI";
inline constexpr std::string_view kEvtReadAIVorlan = " - AI vorlan";
inline constexpr std::string_view kEvtReadCT = " - CT";
inline constexpr std::string_view kEvtReadAITalima = " - AI talima";
inline constexpr std::string_view kEvtReadKI = " - KI";
inline constexpr std::string_view kEvtReadMISeparator = " - ";
inline constexpr std::string_view kEvtReadMI = " x MI";
inline constexpr std::string_view kEvtWriteBO = " - BO";
inline constexpr std::string_view kEvtWriteKO = " - KO";
inline constexpr std::string_view kLogStationNo = "Stanice no.";
inline constexpr std::string_view kLogReinitBoMo = "reinit BO+MO";
inline constexpr std::string_view kEvtBlockRead = " - \xE8ten\xED MB (memory block)";
inline constexpr std::string_view kEvtHistoryStart = "Start \xE8ten\xED HDB";
inline constexpr std::string_view kEvtHistoryAbort = "P\xF8" "eru\x9A" "eno \xE8ten\xED HDB";
inline constexpr std::string_view kSampleFileSuffix = ".CUC";
inline constexpr std::string_view kLogModemClose = "close";
inline constexpr std::string_view kLogModemCloseText = "communication !!!!";

}  // namespace qz::text

#pragma once
// What kind of line a modem sent: the final result code that ends a
// command, an unsolicited result code that belongs to no command, or
// anything else (an information line of the answer being waited for).
//
// A modem sends unsolicited lines whenever something happens (a call rings,
// a message arrives, the registration changes), also in the middle of an
// answer, and a command answered after its time-out still sends its final
// result code later. The session uses these tests so that neither is taken
// for the answer it waits for.

#include <optional>
#include <string_view>

// Final result codes of every command: "OK", "ERROR", "+CME ERROR: <n>" and
// "+CMS ERROR: <n>". With dialling set, also the results that end a call
// set-up or an answer (ATA, ATD): "CONNECT...", "NO CARRIER", "BUSY",
// "NO ANSWER", "NO DIALTONE".
bool IsFinalResultCode(std::string_view line, bool dialling);

// "ERROR", "+CME ERROR: <n>" or "+CMS ERROR: <n>".
bool IsErrorResultCode(std::string_view line);

// An unsolicited result code, such as RING, +CRING: VOICE, +CLIP: ...,
// +CMTI: "SM",3, +CGEV: ..., ^SYSSTART, and the registration reports
// +CREG: <stat> or +CREG: <stat>,"<lac>","<ci>" (the read answer of
// AT+CREG? always starts with the mode, an unquoted second field). While
// dialling, NO CARRIER is the final result of the call instead.
bool IsUnsolicitedResultCode(std::string_view line, bool dialling);

// RING or +CRING: an incoming call.
bool IsRingIndication(std::string_view line);

// True for the commands whose answer may end with a call result: ATA, ATD.
bool IsDialCommand(std::string_view command);

// A line that is a result code, an unsolicited code (a boot line among
// them) or the head of some command's answer ("+XXX: ...", "^XXX..."): what
// a modem that is starting up prints while it is being identified.
bool LooksLikeStatusLine(std::string_view line);

// The manufacturer (AT+CGMI) or model (AT+CGMM) a line of their answer
// names: the line itself, or the text after a "+CGMI:"/"+GMI:" (or
// "+CGMM:"/"+GMM:") prefix; nothing for a status line.
std::optional<std::string_view> IdentificationText(std::string_view line, bool manufacturer);

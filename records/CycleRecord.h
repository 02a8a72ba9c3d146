#pragma once
// The record of one completed poll cycle as the headless monitor and the
// window's record log write it: one JSON object per line, or one CSV row,
// with the fields of RecordFields() in their order. Pure formatting, no I/O;
// a value whose valid flag is false is written as null (JSON) or as an empty
// field (CSV).

#include "modems/CompletedCycle.h"
#include "NetState.h"
#include "RecordEvents.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where the record was taken, from a GPS receiver: degrees (WGS84), the
// altitude above mean sea level, the speed, the fix ("2d", "3d") and the
// receiver's time of the fix.
struct RecordPosition {
    double lat = 0;
    double lon = 0;
    std::optional<double> altM;
    std::optional<double> speedKmh;
    std::string fix;
    QDateTime time;
};

struct CycleRecord {
    std::uint64_t cycle = 0;
    QDateTime time; // written as UTC with milliseconds
    std::string port;
    std::string manufacturer;
    std::string model;
    TNetState state;
    // The rssi of the +CSQ answer (99: unknown), when one came.
    std::optional<std::int32_t> csqRssi;
    // The ber of that answer (99: unknown).
    std::optional<std::int32_t> csqBer;
    // Firmware and SIM state always; IMEI, IMSI and ICCID only when the
    // user asked for them (they identify a person).
    ModemIdentity identity;
    // What changed since the record before (RecordEventDeriver).
    std::vector<RecordEvent> events;
    // Where it was taken; none without a receiver or a fix.
    std::optional<RecordPosition> position;
};

enum class RecordFormat : std::uint8_t { Json, Csv };

// The format of a record log, for every entry point alike: CSV for a file
// whose name ends in ".csv" (in any case), JSON lines for any other.
RecordFormat RecordFormatOfFile(const QString &path);

// The record of a completed cycle, read from the port at time; with
// personalIdentity it carries the IMEI, IMSI and ICCID too.
CycleRecord CycleRecordOf(const CompletedCycle &cycle, const std::string &port, const QDateTime &time,
                          bool personalIdentity = false);

// One JSON object without a trailing newline: cycle, time, port,
// manufacturer, model, signal, ber, registration, activity, operator_name,
// operator_code, cells (always 7 entries, each null or {channel, band, rssi,
// dbm, c1, mcc, mnc}), then rat, serving and secondary (null or {rat, mcc,
// mnc, area, cell_id, enb_id, sector, gnb_id, nr_cell, pci, channel, band,
// rssi, rsrp, rsrq, sinr, rscp, ecno}), neighbours ([{rat, channel, pci,
// rssi, rsrp, rsrq, rscp, ecno}...]), carriers ([{role, rat, band, channel,
// pci, bandwidth_mhz, rssi, rsrp, rsrq, sinr}...], empty when the modem
// reports no carrier aggregation), events ([{type, from, to}...]), position
// (null or {lat, lon, alt_m, speed_kmh, fix, time}), then firmware, sim,
// imei, imsi, iccid.
QByteArray CycleRecordJson(const CycleRecord &record);
// The same appended to out.
void AppendCycleRecordJson(std::string &out, const CycleRecord &record);

// The CSV header and one row, without a trailing newline. The serving cell
// and the neighbours are the numbered columns cell0_ to cell6_.
QByteArray CsvHeader();
QByteArray CycleRecordCsv(const CycleRecord &record);

// One line in the given format, newline included.
QByteArray CycleRecordLine(const CycleRecord &record, RecordFormat format);

// The lines of one record for all the outputs that take it: each format is
// written when an output first asks for it, once per record, into a buffer
// kept from record to record; a format no output asks for costs nothing.
class RecordLines {
public:
    // The record the lines are of from now on; it must live until the last
    // Line of it was taken.
    void Next(const CycleRecord &record);
    // The record's line in format, newline included; valid until Next.
    QByteArray Line(RecordFormat format);

private:
    const CycleRecord *m_record = nullptr;
    std::array<std::string, 2> m_lines;
    std::array<bool, 2> m_built{};
};

// A number with a fraction as the records write it, appended to out: the
// shortest of up to 15 significant digits ("-10.5", "1e+20"), as
// QByteArray::number(value, 'g', 15) writes it.
void AppendRecordReal(std::string &out, double value);

// What an output in format starts with, newline included: the CSV header,
// nothing for JSON lines.
QByteArray RecordHeaderLine(RecordFormat format);

// Texts of a record are written as valid UTF-8 of at most this many
// characters; a longer one is cut.
constexpr std::size_t kRecordTextCharacters = 256;

// bytes as valid UTF-8 (bytes that are not are read as Latin-1), cut after
// maxCharacters characters.
std::string RecordText(const std::string &bytes, std::size_t maxCharacters);

// A CSV field: quoted when it holds a comma, a double quote or a blank at
// either end, with quotes doubled; control characters are escaped first so
// that a row always stays on one line.
QByteArray CsvField(const std::string &text);

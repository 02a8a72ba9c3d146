// Cycle record formatting and the record log.
#include "CycleRecord.h"
#include "TestFiles.h"
#include "RecordLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

CycleRecord FullRecord()
{
    CycleRecord r;
    r.cycle = 7;
    r.time = QDateTime::fromString("2026-12-08T10:15:02.123Z", Qt::ISODateWithMs);
    r.port = "/dev/ttyUSB0";
    r.manufacturer = "Maker";
    r.model = "BGS5";
    TNetState &s = r.state;
    s.signal = 53, s.signalValid = true;
    s.ber = 0, s.berValid = true;
    s.registration = 1, s.registrationValid = true;
    s.activity = 0, s.activityValid = true;
    s.operatorName = "Carrier", s.operatorNameValid = true;
    s.operatorCode = "23001", s.operatorCodeValid = true;
    s.cells[0] = {true, 62, 40, -73, 25, 230, 1};
    s.cells[3] = {true, 700, 20, -90, kMissingInteger, 230, 3};
    return r;
}

QJsonObject Parse(const QByteArray &line)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << " in " << line.toStdString();
    return doc.object();
}

// Keys of the top-level object in the order they appear in the text.
std::vector<std::string> KeyOrder(const QByteArray &line)
{
    std::vector<std::string> keys;
    const QJsonObject object = Parse(line);
    std::vector<std::pair<qsizetype, std::string>> found;
    for (const QString &key : object.keys())
        found.emplace_back(line.indexOf("\"" + key.toUtf8() + "\":"), key.toStdString());
    std::sort(found.begin(), found.end());
    for (const auto &f : found)
        keys.push_back(f.second);
    return keys;
}

const std::vector<std::string> kKeys{"cycle",         "time",          "port",  "manufacturer", "model",
                                     "signal",        "ber",           "registration", "activity",
                                     "operator_name", "operator_code", "cells", "rat", "serving",
                                     "secondary",     "neighbours",    "carriers", "events", "position", "firmware", "sim", "imei", "imsi", "iccid"};

// An LTE cell with an NR leg and two neighbours, values with fractions, and
// a 2D fix.
CycleRecord LteRecord()
{
    CycleRecord r = FullRecord();
    r.identity = {"EM7565_01.05.01.00", "353533100123456", "READY", "230011234567890", "89420012345678901234"};
    TNetState &s = r.state;
    s.rat = TRadioTech::Nr5gNsa;
    TRadioCell lte;
    lte.rat = TRadioTech::Lte;
    lte.mcc = 230, lte.mnc = 1, lte.area = 0x1A2B, lte.cellId = 0x00C3D4E, lte.pci = 311, lte.channel = 1300;
    lte.band = "B3", lte.rssi = -65, lte.rsrp = -95, lte.rsrq = -10.5, lte.sinr = 13.4;
    s.serving = lte;
    TRadioCell nr;
    nr.rat = TRadioTech::Nr5gNsa, nr.pci = 57, nr.channel = 627264, nr.band = "n78", nr.rsrp = -88, nr.sinr = 21;
    s.secondary = nr;
    s.neighbours = {{TRadioTech::Lte, 1300, 120, std::nullopt, -101, -13.5, std::nullopt, std::nullopt},
                    {TRadioTech::Lte, 6300, 7, std::nullopt, -112, -18, std::nullopt, std::nullopt}};
    s.carriers = {{TCarrierRole::Primary, TRadioTech::Lte, "B3", 1300, 311, 20.0, -65, -95, -10.5, 13.4},
                  {TCarrierRole::Secondary, TRadioTech::Nr5gNsa, "n78", 627264, 57, 100.0, std::nullopt, std::nullopt,
                   std::nullopt, std::nullopt}};
    r.position = RecordPosition{50.08, -14.5, std::nullopt, 0.5, "2d", {}};
    return r;
}

} // namespace

TEST(CycleRecordJson, FullRecordHasEveryKeyInOrderAndTheValues)
{
    const QByteArray line = CycleRecordJson(FullRecord());
    EXPECT_FALSE(line.contains('\n'));
    EXPECT_EQ(KeyOrder(line), kKeys);
    const QJsonObject o = Parse(line);
    EXPECT_EQ(o["cycle"].toInteger(), 7);
    EXPECT_EQ(o["time"].toString(), "2026-12-08T10:15:02.123Z");
    EXPECT_EQ(o["port"].toString(), "/dev/ttyUSB0");
    EXPECT_EQ(o["signal"].toInt(), 53);
    EXPECT_EQ(o["operator_code"].toString(), "23001");
    const QJsonArray cells = o["cells"].toArray();
    ASSERT_EQ(cells.size(), 7);
    EXPECT_EQ(QJsonDocument(cells[0].toObject()).toJson(QJsonDocument::Compact).toStdString(),
              R"({"band":"900","c1":25,"channel":62,"dbm":-73,"mcc":230,"mnc":1,"rssi":40})");
    EXPECT_TRUE(line.contains(R"({"channel":62,"band":"900","rssi":40,"dbm":-73,"c1":25,"mcc":230,"mnc":1})"));
    EXPECT_EQ(cells[3].toObject()["band"].toString(), "1800");
    EXPECT_TRUE(cells[3].toObject()["c1"].isNull()) << "a missing C1 is null, not -9999";
    for (int i : {1, 2, 4, 5, 6})
        EXPECT_TRUE(cells[i].isNull()) << "row " << i;
}

// +CSQ's 99 is "not known": null in the record, never the best ber class
// or a signal of 0 %.
TEST(CycleRecordJson, CsqValuesOfNinetyNineAreNull)
{
    struct Case {
        std::optional<std::int32_t> rssi, ber;
        int signal, berClass; // as the display record holds them
        bool signalNull, berNull;
    };
    for (const Case &c : {Case{18, 99, 56, 0, false, true}, Case{99, 99, 0, 0, true, true}, Case{17, 0, 53, 0, false, false},
                          Case{31, 7, 96, 7, false, false}, Case{std::nullopt, std::nullopt, 53, 2, false, false}}) {
        CycleRecord r = FullRecord();
        r.csqRssi = c.rssi, r.csqBer = c.ber;
        r.state.signal = c.signal, r.state.ber = c.berClass;
        const QJsonObject o = Parse(CycleRecordJson(r));
        SCOPED_TRACE(testing::Message() << c.rssi.value_or(-1) << "," << c.ber.value_or(-1));
        EXPECT_EQ(o["signal"].isNull(), c.signalNull);
        EXPECT_EQ(o["ber"].isNull(), c.berNull);
        if (!c.signalNull) {
            EXPECT_EQ(o["signal"].toInt(), c.signal);
        }
        if (!c.berNull) {
            EXPECT_EQ(o["ber"].toInt(), c.berClass);
        }
        const QList<QByteArray> csv = CycleRecordCsv(r).split(',');
        const QList<QByteArray> header = CsvHeader().split(',');
        EXPECT_EQ(csv.at(header.indexOf("ber")).isEmpty(), c.berNull);
    }
}

TEST(CycleRecordJson, LocalTimeIsWrittenAsUtc)
{
    CycleRecord r = FullRecord();
    r.time = QDateTime(QDate(2026, 12, 8), QTime(12, 15, 2, 5), QTimeZone(7200));
    EXPECT_EQ(Parse(CycleRecordJson(r))["time"].toString(), "2026-12-08T10:15:02.005Z");
}

struct InvalidFieldCase {
    const char *name;
    bool TNetState::*flag;
    const char *key;
};

// The IMEI, IMSI and ICCID identify a person: a record has them only when
// asked for; firmware and SIM state always.
TEST(CycleRecordJson, PersonalIdentityOnlyWhenAsked)
{
    const ModemIdentity identity{"FW 2", "353533100123456", "SIM PIN", "230011234567890", "8942001234"};
    const TNetState state;
    const CompletedCycle cycle{3, "Maker", "Model", state, std::nullopt, std::nullopt, identity};
    const QDateTime time = QDateTime::currentDateTimeUtc();
    const QJsonObject plain = Parse(CycleRecordJson(CycleRecordOf(cycle, "SIM", time)));
    EXPECT_EQ(plain["firmware"].toString(), "FW 2");
    EXPECT_EQ(plain["sim"].toString(), "SIM PIN");
    for (const char *key : {"imei", "imsi", "iccid"})
        EXPECT_TRUE(plain[key].isNull()) << key;
    const QJsonObject personal = Parse(CycleRecordJson(CycleRecordOf(cycle, "SIM", time, true)));
    EXPECT_EQ(personal["imei"].toString(), "353533100123456");
    EXPECT_EQ(personal["imsi"].toString(), "230011234567890");
    EXPECT_EQ(personal["iccid"].toString(), "8942001234");
}

// "+COPS: 0" (no operator) leaves the display's "?"; a record has null.
TEST(CycleRecordJson, UnnamedOperatorIsNull)
{
    CycleRecord r = FullRecord();
    r.state.operatorName = r.state.operatorCode = "?";
    const QJsonObject o = Parse(CycleRecordJson(r));
    EXPECT_TRUE(o["operator_name"].isNull());
    EXPECT_TRUE(o["operator_code"].isNull());
}

class CycleRecordJsonInvalid : public ::testing::TestWithParam<InvalidFieldCase> {};

TEST_P(CycleRecordJsonInvalid, InvalidFlagGivesNullAndOnlyThere)
{
    CycleRecord r = LteRecord();
    r.state.*GetParam().flag = false;
    const QByteArray line = CycleRecordJson(r);
    EXPECT_EQ(KeyOrder(line), kKeys);
    const QJsonObject o = Parse(line);
    for (const std::string &key : kKeys) {
        const bool shouldBeNull = key == GetParam().key;
        EXPECT_EQ(o[QString::fromStdString(key)].isNull(), shouldBeNull) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, CycleRecordJsonInvalid,
                         ::testing::Values(InvalidFieldCase{"signal", &TNetState::signalValid, "signal"},
                                           InvalidFieldCase{"ber", &TNetState::berValid, "ber"},
                                           InvalidFieldCase{"registration", &TNetState::registrationValid,
                                                            "registration"},
                                           InvalidFieldCase{"activity", &TNetState::activityValid, "activity"},
                                           InvalidFieldCase{"operator_name", &TNetState::operatorNameValid,
                                                            "operator_name"},
                                           InvalidFieldCase{"operator_code", &TNetState::operatorCodeValid,
                                                            "operator_code"}),
                         [](const auto &info) { return std::string(info.param.name); });

struct TextCase {
    const char *name;
    std::string text;
    QString decoded; // what a JSON parser must read back
};

class CycleRecordJsonText : public ::testing::TestWithParam<TextCase> {};

TEST_P(CycleRecordJsonText, StringsSurviveARoundTripOnOneLine)
{
    CycleRecord r = FullRecord();
    r.state.operatorName = GetParam().text;
    r.model = GetParam().text;
    const QByteArray line = CycleRecordJson(r);
    EXPECT_FALSE(line.contains('\n'));
    EXPECT_FALSE(line.contains('\r'));
    const QJsonObject o = Parse(line);
    EXPECT_EQ(o["operator_name"].toString(), GetParam().decoded);
    EXPECT_EQ(o["model"].toString(), GetParam().decoded);
    EXPECT_EQ(KeyOrder(line), kKeys);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CycleRecordJsonText,
    ::testing::Values(TextCase{"quote_backslash", "Say \"hi\" a\\b", "Say \"hi\" a\\b"},
                      TextCase{"newline", "two\nlines\r", "two\nlines\r"},
                      TextCase{"utf8", "O\xC2\xB2 \xC4\x8C" "esko", QString::fromUtf8("O\xC2\xB2 \xC4\x8C" "esko")},
                      TextCase{"key_lookalike", "\",\"cycle\":9,\"x\":\"", "\",\"cycle\":9,\"x\":\""},
                      TextCase{"del_and_c1", "a\x7F" "b\xC2\x9B" "31mc\xC2\x85", QString::fromUtf8("a\x7F" "b\xC2\x9B" "31mc\xC2\x85")}),
    [](const auto &info) { return std::string(info.param.name); });

// DEL and the C1 controls reach a terminal as escapes, never as bytes.
TEST(CycleRecordJson, DelAndC1ControlsAreEscaped)
{
    CycleRecord r = FullRecord();
    r.state.operatorName = "a\x7F" "b\xC2\x9B" "31m\xC2\x80\xC2\x9F\xC2\xA0";
    const QByteArray line = CycleRecordJson(r);
    EXPECT_TRUE(line.contains("a\\u007fb\\u009b31m\\u0080\\u009f\xC2\xA0")) << line.toStdString();
    EXPECT_FALSE(line.contains('\x7F'));
}

TEST(CycleRecordJson, ExactBytesOfAFullRecord)
{
    EXPECT_EQ(CycleRecordJson(FullRecord()).toStdString(),
              R"({"cycle":7,"time":"2026-12-08T10:15:02.123Z","port":"/dev/ttyUSB0","manufacturer":"Maker",)"
              R"("model":"BGS5","signal":53,"ber":0,"registration":1,"activity":0,"operator_name":"Carrier",)"
              R"("operator_code":"23001","cells":[{"channel":62,"band":"900","rssi":40,"dbm":-73,"c1":25,)"
              R"("mcc":230,"mnc":1},null,null,{"channel":700,"band":"1800","rssi":20,"dbm":-90,"c1":null,)"
              R"("mcc":230,"mnc":3},null,null,null],"rat":null,"serving":null,"secondary":null,"neighbours":[],)"
              R"("carriers":[],"events":[],"position":null,"firmware":null,"sim":null,"imei":null,"imsi":null,"iccid":null})");
}

TEST(CycleRecordJson, ExactBytesOfTheCellsOfAnLteRecord)
{
    const QByteArray line = CycleRecordJson(LteRecord());
    const qsizetype rat = line.indexOf(",\"rat\":");
    ASSERT_GT(rat, 0);
    EXPECT_EQ(line.mid(rat).toStdString(),
              R"(,"rat":"NR5G-NSA","serving":{"rat":"LTE","mcc":230,"mnc":1,"area":6699,"cell_id":802126,)"
              R"("enb_id":3133,"sector":78,"gnb_id":null,"nr_cell":null,"pci":311,"channel":1300,"band":"B3","rssi":-65,"rsrp":-95,"rsrq":-10.5,"sinr":13.4,"rscp":null,)"
              R"("ecno":null},"secondary":{"rat":"NR5G-NSA","mcc":null,"mnc":null,"area":null,"cell_id":null,)"
              R"("enb_id":null,"sector":null,"gnb_id":null,"nr_cell":null,"pci":57,"channel":627264,"band":"n78","rssi":null,"rsrp":-88,"rsrq":null,"sinr":21,"rscp":null,)"
              R"("ecno":null},"neighbours":[{"rat":"LTE","channel":1300,"pci":120,"rssi":null,"rsrp":-101,)"
              R"("rsrq":-13.5,"rscp":null,"ecno":null},{"rat":"LTE","channel":6300,"pci":7,"rssi":null,)"
              R"("rsrp":-112,"rsrq":-18,"rscp":null,"ecno":null}],"carriers":[{"role":"PCC","rat":"LTE","band":"B3",)"
              R"("channel":1300,"pci":311,"bandwidth_mhz":20,"rssi":-65,"rsrp":-95,"rsrq":-10.5,"sinr":13.4},)"
              R"({"role":"SCC","rat":"NR5G-NSA","band":"n78","channel":627264,"pci":57,"bandwidth_mhz":100,)"
              R"("rssi":null,"rsrp":null,"rsrq":null,"sinr":null}],"events":[],)"
              R"("position":{"lat":50.08,"lon":-14.5,"alt_m":null,"speed_kmh":0.5,"fix":"2d","time":null},)"
              R"("firmware":"EM7565_01.05.01.00","sim":"READY","imei":"353533100123456","imsi":"230011234567890",)"
              R"("iccid":"89420012345678901234"})");
}

// ------------------------------------------------------------------ CSV

namespace {

// Splits one CSV row (RFC 4180 quoting) into fields.
std::vector<std::string> SplitCsv(const QByteArray &row)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (qsizetype i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted) {
            if (c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

} // namespace

TEST(CycleRecordCsv, RowMatchesTheHeaderColumnByColumn)
{
    const std::vector<std::string> header = SplitCsv(CsvHeader());
    // 11 values, 7 grid rows of 7, the technology, serving and secondary
    // cells of 18, 8 neighbours of 8, 4 carriers of 10, the event types, the
    // position's 6 and the 5 identity values.
    ASSERT_EQ(header.size(), 11u + 7u * 7u + 1u + 2u * 18u + 8u * 8u + 4u * 10u + 1u + 6u + 5u);
    const std::vector<std::string> row = SplitCsv(CycleRecordCsv(LteRecord()));
    ASSERT_EQ(row.size(), header.size());
    auto at = [&](const std::string &column) {
        const auto it = std::find(header.begin(), header.end(), column);
        EXPECT_NE(it, header.end()) << column;
        return it == header.end() ? std::string("?") : row[static_cast<std::size_t>(it - header.begin())];
    };
    EXPECT_EQ(at("cycle"), "7");
    EXPECT_EQ(at("time"), "2026-12-08T10:15:02.123Z");
    EXPECT_EQ(at("signal"), "53");
    EXPECT_EQ(at("operator_code"), "23001");
    EXPECT_EQ(at("cell0_channel"), "62");
    EXPECT_EQ(at("cell0_band"), "900");
    EXPECT_EQ(at("cell0_dbm"), "-73");
    EXPECT_EQ(at("cell0_mnc"), "1");
    EXPECT_EQ(at("cell3_c1"), "");
    EXPECT_EQ(at("cell3_band"), "1800");
    EXPECT_EQ(at("cell1_channel"), "");
    EXPECT_EQ(at("cell6_mnc"), "");
    EXPECT_EQ(at("rat"), "NR5G-NSA");
    EXPECT_EQ(at("serving_band"), "B3");
    EXPECT_EQ(at("serving_rsrq"), "-10.5");
    EXPECT_EQ(at("serving_rscp"), "");
    EXPECT_EQ(at("secondary_channel"), "627264");
    EXPECT_EQ(at("nb1_pci"), "7");
    EXPECT_EQ(at("nb2_pci"), "");
    EXPECT_EQ(at("ca0_role"), "PCC");
    EXPECT_EQ(at("ca0_bandwidth_mhz"), "20");
    EXPECT_EQ(at("ca1_role"), "SCC");
    EXPECT_EQ(at("ca1_rat"), "NR5G-NSA");
    EXPECT_EQ(at("ca1_rsrp"), "");
    EXPECT_EQ(at("ca2_role"), "");
}

TEST(CycleRecordCsv, InvalidValuesAreEmptyFieldsAndTheCountStays)
{
    CycleRecord r = FullRecord();
    r.state.MarkAllInvalid();
    const std::vector<std::string> row = SplitCsv(CycleRecordCsv(r));
    ASSERT_EQ(row.size(), SplitCsv(CsvHeader()).size());
    for (std::size_t i = 5; i < row.size(); ++i)
        EXPECT_EQ(row[i], "") << "column " << i;
}

TEST(CycleRecordCsv, ExactBytesOfAFullRecord)
{
    const std::string empty7(7, ',');
    EXPECT_EQ(CycleRecordCsv(FullRecord()).toStdString(),
              "7,2026-12-08T10:15:02.123Z,/dev/ttyUSB0,Maker,BGS5,53,0,1,0,Carrier,23001,62,900,40,-73,25,230,1" +
                  empty7 + empty7 + ",700,1800,20,-90,,230,3" + empty7 + empty7 + empty7 +
                  std::string(1 + 2 * 18 + 8 * 8 + 4 * 10 + 1 + 6 + 5, ','));
    const QByteArray header = CsvHeader();
    EXPECT_TRUE(header.startsWith("cycle,time,port,manufacturer,model,signal,ber,registration,activity,"
                                  "operator_name,operator_code,cell0_channel,cell0_band,cell0_rssi,cell0_dbm,"
                                  "cell0_c1,cell0_mcc,cell0_mnc,cell1_channel,"))
        << header.toStdString();
    EXPECT_TRUE(header.contains(",cell6_c1,cell6_mcc,cell6_mnc,rat,serving_rat,serving_mcc,")) << header.toStdString();
    EXPECT_TRUE(header.contains(",nb7_rscp,nb7_ecno,ca0_role,ca0_rat,ca0_band,ca0_channel,ca0_pci,"
                                "ca0_bandwidth_mhz,ca0_rssi,ca0_rsrp,ca0_rsrq,ca0_sinr,ca1_role,"))
        << header.toStdString();
    EXPECT_TRUE(header.endsWith(",ca3_rsrq,ca3_sinr,events,position_lat,position_lon,position_alt_m,"
                                "position_speed_kmh,position_fix,position_time,firmware,sim,imei,imsi,iccid")) << header.toStdString();
}

struct CsvCase {
    const char *name;
    std::string text;
    std::string field; // as written
    std::string read;  // as a CSV reader gets it back
};

class CsvFieldCase : public ::testing::TestWithParam<CsvCase> {};

TEST_P(CsvFieldCase, QuotedWhenNeededAndReadBack)
{
    const QByteArray field = CsvField(GetParam().text);
    EXPECT_EQ(field.toStdString(), GetParam().field);
    CycleRecord r = FullRecord();
    r.state.operatorName = GetParam().text;
    const QByteArray row = CycleRecordCsv(r);
    EXPECT_FALSE(row.contains('\n'));
    const std::vector<std::string> fields = SplitCsv(row);
    ASSERT_EQ(fields.size(), SplitCsv(CsvHeader()).size());
    EXPECT_EQ(fields[9], GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Fields, CsvFieldCase,
                         ::testing::Values(CsvCase{"plain", "Carrier", "Carrier", "Carrier"},
                                           CsvCase{"comma", "A,B", "\"A,B\"", "A,B"},
                                           CsvCase{"quote", "Say \"hi\"", "\"Say \"\"hi\"\"\"", "Say \"hi\""},
                                           CsvCase{"outer_blank", " A ", "\" A \"", " A "},
                                           CsvCase{"newline", "A\nB", "A<LF>B", "A<LF>B"},
                                           // Spreadsheet formulas stay text.
                                           CsvCase{"formula", "=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0",
                                                   "'=cmd|' /C calc'!A0"},
                                           CsvCase{"plus", "+1", "'+1", "'+1"},
                                           CsvCase{"minus_comma", "-2,3", "\"'-2,3\"", "'-2,3"},
                                           CsvCase{"at", "@SUM(A1)", "'@SUM(A1)", "'@SUM(A1)"},
                                           CsvCase{"inner_equals", "A=B", "A=B", "A=B"},
                                           CsvCase{"empty", "", "", ""}),
                         [](const auto &info) { return std::string(info.param.name); });

// ------------------------------------------------------------ RecordLog

struct FormatCase {
    const char *name;
    QString path;
    RecordFormat format;
};

class RecordFormatOfFileCase : public ::testing::TestWithParam<FormatCase> {};

TEST_P(RecordFormatOfFileCase, CsvOnlyForACsvName)
{
    EXPECT_EQ(RecordFormatOfFile(GetParam().path), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(
    Names, RecordFormatOfFileCase,
    ::testing::Values(FormatCase{"csv", "drive-test.csv", RecordFormat::Csv},
                      FormatCase{"csv_upper_case", "/var/log/DRIVE.CSV", RecordFormat::Csv},
                      FormatCase{"csv_in_a_folder", "logs/today/records.Csv", RecordFormat::Csv},
                      FormatCase{"jsonl", "records.jsonl", RecordFormat::Json},
                      FormatCase{"no_extension", "records", RecordFormat::Json},
                      FormatCase{"csv_not_last", "records.csv.bak", RecordFormat::Json},
                      FormatCase{"csv_folder", "records.csv/today", RecordFormat::Json},
                      FormatCase{"csv_without_dot", "recordscsv", RecordFormat::Json}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RecordLog, FormatFollowsTheFileName)
{
    QTemporaryDir dir;
    for (const QString &name : {QStringLiteral("records.CSV"), QStringLiteral("records.txt")}) {
        SCOPED_TRACE(name.toStdString());
        RecordLog log;
        ASSERT_TRUE(log.Open(dir.filePath(name))) << log.ErrorText().toStdString();
        ASSERT_TRUE(log.Append(FullRecord()));
        log.Close();
        const QList<QByteArray> lines = FileLines(dir.filePath(name));
        if (name.endsWith("CSV"))
            EXPECT_EQ(lines, (QList<QByteArray>{CsvHeader(), CycleRecordCsv(FullRecord())}));
        else
            EXPECT_EQ(lines, QList<QByteArray>{CycleRecordJson(FullRecord())});
    }
}

TEST(RecordLog, EveryRecordIsInTheFileBeforeTheNextIsWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("records.jsonl");
    RecordLog log;
    ASSERT_TRUE(log.Open(path)) << log.ErrorText().toStdString();
    CycleRecord r = FullRecord();
    for (std::uint64_t i = 1; i <= 3; ++i) {
        r.cycle = i;
        ASSERT_TRUE(log.Append(r));
        // Read while the log is still open: nothing waits in a buffer.
        const QList<QByteArray> lines = FileLines(path);
        ASSERT_EQ(lines.size(), static_cast<qsizetype>(i));
        EXPECT_EQ(Parse(lines.back())["cycle"].toInteger(), static_cast<qint64>(i));
    }
}

TEST(RecordLog, CsvHeaderOnlyWhenTheFileStartsEmpty)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("records.csv");
    for (int run = 0; run < 2; ++run) {
        RecordLog log;
        ASSERT_TRUE(log.Open(path));
        ASSERT_TRUE(log.Append(FullRecord()));
    }
    const QList<QByteArray> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], CsvHeader());
    EXPECT_EQ(lines[1], CycleRecordCsv(FullRecord()));
    EXPECT_EQ(lines[2], lines[1]);
}

TEST(RecordLog, UnwritablePathGivesAClearErrorAndNothingOpen)
{
    QTemporaryDir dir;
    for (const QString &path : {dir.filePath("missing/folder/records.jsonl"), dir.path(), QString()}) {
        SCOPED_TRACE(path.toStdString());
        RecordLog log;
        EXPECT_FALSE(log.Open(path));
        EXPECT_FALSE(log.IsOpen());
        EXPECT_FALSE(log.ErrorText().isEmpty());
        EXPECT_FALSE(log.Append(FullRecord()));
    }
}

TEST(RecordLog, WriteFailureIsReported)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full on this system";
    RecordLog log;
    ASSERT_TRUE(log.Open("/dev/full"));
    EXPECT_FALSE(log.Append(FullRecord()));
    EXPECT_TRUE(log.ErrorText().contains("/dev/full")) << log.ErrorText().toStdString();
}

// The position as an object in JSON and six columns in CSV; what the
// receiver did not give is null or empty.
TEST(CycleRecordJson, PositionObjectAndColumns)
{
    CycleRecord r = FullRecord();
    r.position = RecordPosition{50.0818, 14.4227, 244.5, std::nullopt, "3d",
                                QDateTime::fromString("2026-12-09T10:00:09Z", Qt::ISODate)};
    EXPECT_TRUE(CycleRecordJson(r).contains(
        R"("position":{"lat":50.0818,"lon":14.4227,"alt_m":244.5,"speed_kmh":null,"fix":"3d","time":"2026-12-09T10:00:09.000Z"},"firmware")"))
        << CycleRecordJson(r).toStdString();
    // The identity's five columns follow the position's.
    EXPECT_TRUE(CycleRecordCsv(r).endsWith(",50.0818,14.4227,244.5,,3d,2026-12-09T10:00:09.000Z,,,,,"))
        << CycleRecordCsv(r).toStdString();
}

namespace {

// A text of the record as Qt's JSON writer writes it, quotes included, with DEL and the C1
// controls escaped after it: what the records held before they were
// written by hand.
std::string QtJsonText(const std::string &text)
{
    const QByteArray array =
        QJsonDocument(QJsonArray{QString::fromStdString(RecordText(text, kRecordTextCharacters))})
            .toJson(QJsonDocument::Compact);
    std::string out;
    for (qsizetype i = 1; i + 1 < array.size(); ++i) {
        const auto byte = static_cast<unsigned char>(array[i]);
        const auto next = static_cast<unsigned char>(array[i + 1]);
        if (byte == 0x7F) {
            out += "\\u007f";
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += "\\u00" + QByteArray::number(next, 16).toStdString();
            ++i;
        } else {
            out += char(byte);
        }
    }
    return out;
}

// The port value of a JSON record.
std::string PortText(const QByteArray &line)
{
    const qsizetype begin = line.indexOf("\"port\":") + 7;
    return line.mid(begin, line.indexOf(",\"manufacturer\":") - begin).toStdString();
}

} // namespace

// Every byte alone and in the company of others, bytes that are not UTF-8,
// sequences cut short, four-byte characters and a text longer than the cut:
// the same bytes as Qt's writer gives.
TEST(CycleRecordJson, TextsAreEscapedAsQtsJsonWriterEscapesThem)
{
    std::vector<std::string> texts{"", "plain", "a\"b\\c/d", "\xF0\x9F\x93\xB6 5G", "\xE2\x80\xA8 \xE2\x80\xAE",
                                   "Telef\xF3nica", "\xC2", "x\xC2", "\xC2\x9F\xC2\xA0\xC3\x80", "\xE2\x82",
                                   "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0\xAF"};
    for (int byte = 0; byte < 256; ++byte) {
        texts.push_back(std::string(1, char(byte)));
        texts.push_back("a" + std::string(1, char(byte)) + "\xC3\xB3" + std::string(1, char(byte)));
    }
    std::string longText;
    for (int i = 0; i < 150; ++i)
        longText += i % 3 ? "\xC3\xB3" : "\"\x01";
    texts.push_back(longText);
    CycleRecord r = FullRecord();
    for (const std::string &text : texts) {
        r.port = text;
        EXPECT_EQ(PortText(CycleRecordJson(r)), QtJsonText(text))
            << "text of " << text.size() << " bytes starting with " << int(static_cast<unsigned char>(text[0]));
    }
}

// Numbers with a fraction as QByteArray::number(value, 'g', 15) writes
// them, ties at the 15th digit and -0 among them.
TEST(CycleRecordJson, FractionsAreWrittenAsQtWritesThem)
{
    std::vector<double> values{0.0, -0.0, -10.5, 0.1, 1e15, 1e16, 1e-5, 1e-4, 1e21, 5e-324, -95, 50.0871234567,
                               33110032036284.25, -9255700530942.125, 4816087326172085, 1.5, 2.5, 0.000123};
    std::mt19937_64 random(29);
    std::uniform_real_distribution<double> level(-200, 200);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t bits = random();
        double any = 0;
        std::memcpy(&any, &bits, sizeof any);
        if (std::isfinite(any))
            values.push_back(any);
        values.push_back(std::round(level(random) * 10) / 10);
        values.push_back(std::round(level(random) * 1e7) / 1e7);
    }
    for (const double value : values) {
        std::string written;
        AppendRecordReal(written, value);
        ASSERT_EQ(written, QByteArray::number(value, 'g', 15).toStdString()) << std::hexfloat << value;
    }
}

// One set of lines serves record after record: each line is of the record
// given last, whichever format was asked first, and nothing of a longer
// record before it stays.
TEST(RecordLines, EachLineIsOfTheRecordGivenLast)
{
    CycleRecord first = LteRecord();
    CycleRecord second = FullRecord();
    second.cycle = 8;
    second.state.operatorName = "Other";
    RecordLines lines;
    lines.Next(first);
    EXPECT_EQ(lines.Line(RecordFormat::Json), CycleRecordLine(first, RecordFormat::Json));
    EXPECT_EQ(lines.Line(RecordFormat::Csv), CycleRecordLine(first, RecordFormat::Csv));
    EXPECT_EQ(lines.Line(RecordFormat::Json), CycleRecordLine(first, RecordFormat::Json));
    lines.Next(second);
    EXPECT_EQ(lines.Line(RecordFormat::Csv), CycleRecordLine(second, RecordFormat::Csv));
    EXPECT_EQ(lines.Line(RecordFormat::Json), CycleRecordLine(second, RecordFormat::Json));
    const CycleRecord empty;
    lines.Next(empty);
    EXPECT_EQ(lines.Line(RecordFormat::Json), CycleRecordLine(empty, RecordFormat::Json));
}

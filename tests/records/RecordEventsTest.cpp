// Events derived from consecutive records: every type over a pair of
// records, the hysteresis of the signal events over a run of values, what
// the session tells between records, and the events in JSON and CSV.
#include "CycleRecord.h"
#include "RecordEvents.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace RecordEventType;

// A registered LTE record with a full serving cell.
CycleRecord Base()
{
    CycleRecord r;
    r.cycle = 1;
    r.time = QDateTime::fromString("2026-12-09T10:00:00.000Z", Qt::ISODateWithMs);
    r.port = "SIM";
    TNetState &s = r.state;
    s.signal = 60, s.signalValid = true;
    s.registration = 1, s.registrationValid = true;
    s.operatorName = "Carrier", s.operatorNameValid = true;
    s.operatorCode = "23001", s.operatorCodeValid = true;
    s.rat = TRadioTech::Lte;
    TRadioCell &cell = s.serving.emplace();
    cell.rat = TRadioTech::Lte;
    cell.cellId = 100;
    cell.pci = 10;
    cell.band = "B3";
    cell.rsrp = -90.0;
    return r;
}

// The component carriers of the bands given, the first the primary.
std::vector<TCarrier> Carriers(std::initializer_list<const char *> bands)
{
    std::vector<TCarrier> carriers;
    for (const char *band : bands) {
        TCarrier &carrier = carriers.emplace_back();
        carrier.role = carriers.size() == 1 ? TCarrierRole::Primary : TCarrierRole::Secondary;
        carrier.rat = TRadioTech::Lte;
        carrier.band = band;
    }
    return carriers;
}

using Change = std::function<void(CycleRecord &)>;

struct PairCase {
    const char *name;
    Change before;
    Change after;
    std::vector<RecordEvent> events;
};

void Same(CycleRecord &) {}

RecordEvent E(const char *type, std::optional<std::string> from, std::optional<std::string> to)
{
    return {type, std::move(from), std::move(to)};
}

class RecordPairs : public testing::TestWithParam<PairCase> {};

TEST_P(RecordPairs, SecondRecordCarriesTheChange)
{
    const PairCase &c = GetParam();
    RecordEventDeriver deriver;
    CycleRecord first = Base();
    c.before(first);
    EXPECT_TRUE(deriver.Next(first).empty()) << "the first record has nothing to compare with";
    CycleRecord second = Base();
    c.after(second);
    EXPECT_EQ(deriver.Next(second), c.events);
    // The same record again changes nothing.
    EXPECT_TRUE(deriver.Next(second).empty());
}

const PairCase kPairs[] = {
    {"Unchanged", Same, Same, {}},
    {"Handover", Same, [](CycleRecord &r) { r.state.serving->cellId = 101, r.state.serving->pci = 11; },
     {E(kServingCellChanged, "cell 100 PCI 10", "cell 101 PCI 11")}},
    {"PciOnly", Same, [](CycleRecord &r) { r.state.serving->pci = 12; },
     {E(kServingCellChanged, "cell 100 PCI 10", "cell 100 PCI 12")}},
    {"CellIdWithoutPci", Same, [](CycleRecord &r) { r.state.serving->cellId = 7, r.state.serving->pci.reset(); },
     {E(kServingCellChanged, "cell 100 PCI 10", "cell 7")}},
    {"ServingCellMissingIsNoChange", Same, [](CycleRecord &r) { r.state.serving.reset(); }, {}},
    {"PciMissingIsNoChange", Same, [](CycleRecord &r) { r.state.serving->pci.reset(); }, {}},
    {"FallbackToLte", [](CycleRecord &r) { r.state.rat = TRadioTech::Nr5gNsa; }, Same,
     {E(kTechnologyChanged, "NR5G-NSA", "LTE")}},
    {"TechnologyUnknownIsNoChange", Same, [](CycleRecord &r) { r.state.rat = TRadioTech::Unknown; }, {}},
    {"BandChanged", Same, [](CycleRecord &r) { r.state.serving->band = "B7"; }, {E(kBandChanged, "B3", "B7")}},
    {"BandUnknownIsNoChange", Same, [](CycleRecord &r) { r.state.serving->band.clear(); }, {}},
    {"CarrierAggregationOn", Same, [](CycleRecord &r) { r.state.carriers = Carriers({"B3", "B7"}); },
     {E(kCarrierAggregationOn, "no aggregation", "2 carriers: B3+B7")}},
    {"CarrierAggregationOff", [](CycleRecord &r) { r.state.carriers = Carriers({"B3", "B7", ""}); },
     [](CycleRecord &r) { r.state.carriers = Carriers({"B3"}); },
     {E(kCarrierAggregationOff, "3 carriers: B3+B7+?", "no aggregation")}},
    {"CarrierCountChanged", [](CycleRecord &r) { r.state.carriers = Carriers({"B3", "B7"}); },
     [](CycleRecord &r) { r.state.carriers = Carriers({"B3", "B7", "B20"}); },
     {E(kCarrierCountChanged, "2 carriers: B3+B7", "3 carriers: B3+B7+B20")}},
    {"OtherCarriersOfTheSameCountIsNoEvent", [](CycleRecord &r) { r.state.carriers = Carriers({"B3", "B7"}); },
     [](CycleRecord &r) { r.state.carriers = Carriers({"B3", "B20"}); }, {}},
    {"PrimaryCarrierAloneIsNoAggregation", Same, [](CycleRecord &r) { r.state.carriers = Carriers({"B3"}); }, {}},
    {"CarriersWithoutServingCellAreUnknown", [](CycleRecord &r) { r.state.carriers = Carriers({"B3", "B7"}); },
     [](CycleRecord &r) { r.state.serving.reset(); }, {}},
    {"RegistrationLost", Same, [](CycleRecord &r) { r.state.registration = 2; },
     {E(kRegistrationLost, "home", "searching")}},
    {"RoamingRegistrationLost", [](CycleRecord &r) { r.state.registration = 5; },
     [](CycleRecord &r) { r.state.registration = 0; }, {E(kRegistrationLost, "roaming", "not registered")}},
    {"RegistrationRegained", [](CycleRecord &r) { r.state.registration = 2; }, Same,
     {E(kRegistrationRegained, "searching", "home")}},
    {"RegistrationDenied", Same, [](CycleRecord &r) { r.state.registration = 3; },
     {E(kRegistrationDenied, "home", "denied")}},
    {"DeniedWhileSearching", [](CycleRecord &r) { r.state.registration = 2; },
     [](CycleRecord &r) { r.state.registration = 3; }, {E(kRegistrationDenied, "searching", "denied")}},
    {"SearchingToUnknownIsNoEvent", [](CycleRecord &r) { r.state.registration = 2; },
     [](CycleRecord &r) { r.state.registration = 4; }, {}},
    {"RegistrationInvalidIsNoChange", Same, [](CycleRecord &r) { r.state.registrationValid = false; }, {}},
    {"RoamingOn", Same, [](CycleRecord &r) { r.state.registration = 5; }, {E(kRoamingOn, "home", "roaming")}},
    {"RoamingOff", [](CycleRecord &r) { r.state.registration = 5; }, Same, {E(kRoamingOff, "roaming", "home")}},
    {"OperatorChanged", Same,
     [](CycleRecord &r) { r.state.operatorName = "Other", r.state.operatorCode = "23002"; },
     {E(kOperatorChanged, "Carrier (23001)", "Other (23002)")}},
    {"OperatorNameOnly",
     [](CycleRecord &r) { r.state.operatorCodeValid = false; },
     [](CycleRecord &r) { r.state.operatorCodeValid = false, r.state.operatorName = "Other"; },
     {E(kOperatorChanged, "Carrier", "Other")}},
    // The code decides: another spelling of the same network is no change.
    {"OperatorRenamedSameCode", Same, [](CycleRecord &r) { r.state.operatorName = "CARRIER"; }, {}},
    {"OperatorClearedIsNoChange", Same,
     [](CycleRecord &r) { r.state.operatorNameValid = false, r.state.operatorCodeValid = false; }, {}},
    {"RsrpBelowThreshold", Same, [](CycleRecord &r) { r.state.serving->rsrp = -111.0; },
     {E(kSignalLow, "-90 dBm", "-111 dBm")}},
    {"RsrpAtThresholdIsNotLow", Same, [](CycleRecord &r) { r.state.serving->rsrp = -110.0; }, {}},
    {"RsrpRecovered", [](CycleRecord &r) { r.state.serving->rsrp = -115.0; },
     [](CycleRecord &r) { r.state.serving->rsrp = -106.5; }, {E(kSignalRecovered, "-115 dBm", "-106.5 dBm")}},
    {"RsrpWithinHysteresisStaysLow", [](CycleRecord &r) { r.state.serving->rsrp = -115.0; },
     [](CycleRecord &r) { r.state.serving->rsrp = -108.0; }, {}},
    // Without RSRP the signal percentage decides.
    {"PercentBelowThreshold", [](CycleRecord &r) { r.state.serving->rsrp.reset(); },
     [](CycleRecord &r) { r.state.serving->rsrp.reset(), r.state.signal = 12; }, {E(kSignalLow, "60 %", "12 %")}},
    {"PercentUnknownRssiIsNoChange", [](CycleRecord &r) { r.state.serving->rsrp.reset(); },
     [](CycleRecord &r) { r.state.serving->rsrp.reset(), r.state.signal = 0, r.csqRssi = 99; }, {}},
    // Several at once come in the order of the types.
    {"NrToLteHandoverOnAnotherBand", [](CycleRecord &r) { r.state.rat = TRadioTech::Nr5gSa; },
     [](CycleRecord &r) { r.state.serving->cellId = 200, r.state.serving->pci = 20, r.state.serving->band = "B20"; },
     {E(kServingCellChanged, "cell 100 PCI 10", "cell 200 PCI 20"), E(kTechnologyChanged, "NR5G-SA", "LTE"),
      E(kBandChanged, "B3", "B20")}},
};

INSTANTIATE_TEST_SUITE_P(Events, RecordPairs, testing::ValuesIn(kPairs),
                         [](const testing::TestParamInfo<PairCase> &info) { return std::string(info.param.name); });

// A missing value in between: the record after it is compared with the last
// one that had it.
TEST(RecordEvents, GapComparesWithLastKnownValue)
{
    RecordEventDeriver deriver;
    CycleRecord r = Base();
    deriver.Next(r);
    CycleRecord empty = Base();
    empty.state.MarkAllInvalid();
    EXPECT_TRUE(deriver.Next(empty).empty());
    r.state.serving->cellId = 300;
    r.state.serving->pci = 30;
    EXPECT_EQ(deriver.Next(r), std::vector{E(kServingCellChanged, "cell 100 PCI 10", "cell 300 PCI 30")});
}

// One event per crossing, however the value wavers around the threshold.
TEST(RecordEvents, SignalHysteresis)
{
    struct Step {
        double rsrp;
        const char *event; // nullptr: none
    };
    SignalThresholds thresholds;
    thresholds.rsrpDbm = -100.0;
    thresholds.rsrpHysteresisDb = 4.0;
    const Step steps[] = {{-95, nullptr},       {-101, kSignalLow}, {-99, nullptr},  {-102, nullptr},
                          {-96.5, nullptr},     {-96, kSignalRecovered}, {-99.5, nullptr}, {-100, nullptr},
                          {-100.5, kSignalLow}, {-80, kSignalRecovered}};
    RecordEventDeriver deriver(thresholds);
    for (const Step &step : steps) {
        CycleRecord r = Base();
        r.state.serving->rsrp = step.rsrp;
        const std::vector<RecordEvent> events = deriver.Next(r);
        if (step.event) {
            ASSERT_EQ(events.size(), 1u) << step.rsrp;
            EXPECT_EQ(events[0].type, step.event) << step.rsrp;
        } else {
            EXPECT_TRUE(events.empty()) << step.rsrp << ": " << RecordEventTypesText(events);
        }
    }
}

TEST(RecordEvents, SessionEventsGoWithTheNextRecord)
{
    RecordEventDeriver deriver;
    deriver.Next(Base());
    const QDateTime lost = QDateTime::fromString("2026-12-09T10:00:05.250Z", Qt::ISODateWithMs);
    deriver.PortLost(lost);
    deriver.PortLost(lost.addSecs(1)); // still the same loss
    deriver.PortOpened(lost.addSecs(3));
    deriver.PortOpened(lost.addSecs(4)); // no loss before it
    deriver.IncomingCall("+4930123");
    deriver.CallAnswered();
    deriver.CallAnswered(); // a caller the modem did not name
    CycleRecord r = Base();
    r.state.registration = 5;
    EXPECT_EQ(deriver.Next(r), (std::vector{E(kRoamingOn, "home", "roaming"),
                                            E(kPortReconnected, "2026-12-09T10:00:05.250Z", "2026-12-09T10:00:08.250Z"),
                                            E(kCallAnswered, std::nullopt, "+4930123"),
                                            E(kCallAnswered, std::nullopt, std::nullopt)}));
    EXPECT_TRUE(deriver.Next(r).empty());
}

TEST(RecordEvents, WrittenAsListAndTypeColumn)
{
    CycleRecord r = Base();
    EXPECT_TRUE(CycleRecordJson(r).contains(",\"events\":[],\"position\":null,\"firmware\""));
    r.events = {E(kBandChanged, "B3", "B7"), E(kCallAnswered, std::nullopt, "+49")};
    const QJsonObject object = QJsonDocument::fromJson(CycleRecordJson(r)).object();
    EXPECT_EQ(object.keys().size(), QJsonDocument::fromJson(CycleRecordJson(Base())).object().keys().size());
    const QJsonArray events = object.value("events").toArray();
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].toObject(), (QJsonObject{{"type", "band_changed"}, {"from", "B3"}, {"to", "B7"}}));
    EXPECT_EQ(events[1].toObject(), (QJsonObject{{"type", "call_answered"}, {"from", QJsonValue::Null}, {"to", "+49"}}));

    const QList<QByteArray> header = CsvHeader().split(',');
    // events, the position's 6 columns, the identity's 5.
    EXPECT_EQ(header[header.size() - 12], "events");
    EXPECT_EQ(header.count("events"), 1);
    const QByteArray row = CycleRecordCsv(r);
    EXPECT_TRUE(row.endsWith(",band_changed;call_answered,,,,,,,,,,,")) << row.toStdString();
    EXPECT_TRUE(CycleRecordCsv(Base()).endsWith(",,,,,,,,,,,,"));
}

} // namespace

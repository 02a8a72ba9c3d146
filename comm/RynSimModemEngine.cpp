#include "RynSimModemEngine.h"

#include "modems/common/RynSimText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <numbers>

using rynsim::ParseNumber;
using rynsim::Trim;
using namespace simtext;

namespace {

constexpr std::size_t kMaxLineLength = 1024;
constexpr int kMaxCells = 7;

// An LTE carrier: the downlink EARFCN range of its band and the width the
// networks here use in it.
struct LteBand {
    int band;
    int firstEarfcn;
    int lastEarfcn;
    int bandwidthMhz;
};

constexpr LteBand kLteBands[] = {
    {1, 0, 599, 15}, {3, 1200, 1949, 20}, {7, 2750, 3449, 20}, {8, 3450, 3799, 10}, {20, 6150, 6449, 10},
};

int BandOfEarfcn(int earfcn)
{
    for (const LteBand &b : kLteBands)
        if (earfcn >= b.firstEarfcn && earfcn <= b.lastEarfcn)
            return b.band;
    return 0;
}

// The bandwidth the operator uses on the band of an EARFCN.
int BandwidthOfEarfcn(int earfcn)
{
    const LteBand *band = std::find_if(std::begin(kLteBands), std::end(kLteBands),
                                       [&](const LteBand &b) { return b.band == BandOfEarfcn(earfcn); });
    return band != std::end(kLteBands) ? band->bandwidthMhz : 10;
}

// RSSI over the whole carrier: RSRQ = N x RSRP / RSSI with N resource blocks.
double LteRssi(double rsrp, double rsrq, int bandwidthMhz)
{
    const double blocks = bandwidthMhz * 5.0;
    return std::round(rsrp + 10.0 * std::log10(blocks) - rsrq);
}

} // namespace

// ---------------------------------------------------------------- models

const std::vector<TRynSimModelInfo> &TRynSimModemEngine::Models()
{
    static const std::vector<TRynSimModelInfo> models = [] {
        std::vector<TRynSimModelInfo> all;
        std::vector<TRynSimModelInfo> catchAll;
        for (const ModemFamily *family : ModemFamilies())
            for (const SimModel &m : family->models)
                (*m.model ? all : catchAll).push_back({m.model, m.manufacturer, m.revision, m.radio, family});
        all.insert(all.end(), catchAll.begin(), catchAll.end());
        return all;
    }();
    return models;
}

const TRynSimModelInfo &TRynSimModemEngine::ModelInfo(const std::string &model)
{
    const auto &models = Models();
    const auto it = std::find_if(models.begin(), models.end() - 1,
                                 [&](const TRynSimModelInfo &m) { return model == m.model; });
    return *it;
}

std::string TRynSimModemEngine::Manufacturer() const
{
    return m_manufacturer.empty() ? std::string(m_info->manufacturer) : m_manufacturer;
}

void TRynSimModemEngine::SetModel(const std::string &model)
{
    m_model = model;
    m_info = &ModelInfo(model);
    RefreshLevels();
}

// ---------------------------------------------------------------- engine

const std::vector<TRynSimOperator> &TRynSimModemEngine::Operators() { return SimOperators(); }

TRynSimModemEngine::TRynSimModemEngine(std::uint32_t seed) { Reset(seed); }

namespace {

// Own mapping instead of a distribution: the sequence is the same with
// every standard library, so a seed means the same modem everywhere.
int Draw(std::mt19937 &random, int low, int high)
{
    const auto span = static_cast<std::uint32_t>(high - low + 1);
    return low + static_cast<int>(random() % span);
}

} // namespace

int TRynSimModemEngine::Random(int low, int high) { return Draw(m_random, low, high); }

int TRynSimModemEngine::LteRandom(int low, int high) { return Draw(m_lteRandom, low, high); }

// A level on the grid of step between low and high (both on the grid).
double TRynSimModemEngine::LteLevel(double low, double high, double step)
{
    return low + step * LteRandom(0, static_cast<int>(std::lround((high - low) / step)));
}

// An eNodeB identity and one of its three sectors.
int TRynSimModemEngine::NewLteCellId()
{
    const int enodeB = LteRandom(0x10000, 0xFFFFF);
    return enodeB << 8 | LteRandom(1, 3);
}

void TRynSimModemEngine::WanderLevel(TRynSimLevel &level, double step, int steps, double low, double high)
{
    level.value = std::clamp(level.value + step * LteRandom(-steps, steps), low, high);
}

void TRynSimModemEngine::ResetSettings()
{
    m_echo = true;
    m_copsFormat = 0;
    m_cregMode = m_cregStartMode;
    m_cmee = 0;
}

void TRynSimModemEngine::Reset(std::uint32_t seed)
{
    m_seed = seed;
    m_random.seed(seed);
    m_lteRandom.seed(seed ^ 0x4C544531U);
    m_line.clear();
    m_lastLine.clear();
    m_unsolicited.clear();
    m_unsolicitedInside.clear();
    m_unsolicitedRound = 0;
    ResetSettings();
    m_ringing = false;
    m_inCall = false;
    m_callPollsLeft = 0;
    m_polls = 0;
    m_gnssUsed = false;
    m_truth = TRynSimTruth{};
    m_reportMode = 2;
    m_cfun = 1;
    SelectOperator(Operators().front(), false);
    SetSimCard(m_simCard);
}

namespace {

constexpr int kGsmLevelLow = -110;
constexpr int kGsmLevelHigh = -55;

bool Weaker(const TRynSimCell &a, const TRynSimCell &b) { return a.dbm < b.dbm; }

// The modem lists its neighbours strongest first.
void SortGsmNeighbours(TRynSimTruth &truth)
{
    std::stable_sort(truth.cells.begin() + 1, truth.cells.begin() + truth.cellCount,
                     [](const TRynSimCell &a, const TRynSimCell &b) { return Weaker(b, a); });
}

// The strongest neighbour; the truth has at least two cells.
TRynSimCell &StrongestNeighbour(TRynSimTruth &truth)
{
    return *std::max_element(truth.cells.begin() + 1, truth.cells.begin() + truth.cellCount, Weaker);
}

} // namespace

void TRynSimModemEngine::GenerateCells()
{
    const int mcc = std::stoi(m_truth.operatorCode.substr(0, 3));
    const int mnc = std::stoi(m_truth.operatorCode.substr(3));
    m_truth.cellCount = Random(4, kMaxCells);
    std::vector<int> used;
    for (int i = 0; i < m_truth.cellCount; ++i) {
        TRynSimCell &cell = m_truth.cells[static_cast<std::size_t>(i)];
        int channel = 0;
        do {
            channel = Random(0, 1) == 0 ? Random(1, 124) : Random(512, 885);
        } while (std::find(used.begin(), used.end(), channel) != used.end());
        used.push_back(channel);
        cell = TRynSimCell{};
        cell.channel = channel;
        cell.dbm = i == 0 ? Random(-90, -60) : Random(-105, -75);
        cell.mcc = mcc;
        cell.mnc = mnc;
        cell.bcc = Random(0, 7);
        cell.ncc = Random(0, 7);
        cell.lac = Random(0x1000, 0xFFFF);
        cell.cellId = Random(0x0100, 0xFFFF);
        // The serving cell is the best by a margin: a neighbour as strong
        // would have been chosen instead.
        if (i > 0)
            cell.dbm = std::min(cell.dbm, m_truth.cells[0].dbm - 2 * kReselectHysteresisDb);
        cell.meanDbm = cell.dbm;
    }
    for (int i = m_truth.cellCount; i < kMaxCells; ++i)
        m_truth.cells[static_cast<std::size_t>(i)] = TRynSimCell{};
    SortGsmNeighbours(m_truth);
    m_servingPollsLeft = Random(kServingDwellMinPolls, kServingDwellMaxPolls);
    RefreshLevels();
}

namespace {

constexpr double kRsrpLow = -125;
constexpr double kRsrpHigh = -65;
constexpr double kRsrqLow = -18;
constexpr double kRsrqHigh = -5;
constexpr double kSinrLow = -4; // even: the RM500Q prints SINR in 2 dB steps
constexpr double kSinrHigh = 24;
constexpr int kReselectOneIn = 25;

} // namespace

void TRynSimModemEngine::GenerateLte()
{
    TRynSimLteTruth &lte = m_truth.lte;
    // Two carriers of the operator; the serving cell on the first.
    const std::size_t bandCount = std::size(kLteBands);
    const LteBand &first = kLteBands[static_cast<std::size_t>(LteRandom(0, int(bandCount) - 1))];
    const LteBand &second = kLteBands[(static_cast<std::size_t>(&first - kLteBands) +
                                       static_cast<std::size_t>(LteRandom(1, int(bandCount) - 1))) % bandCount];
    const int carriers[] = {LteRandom(first.firstEarfcn, first.lastEarfcn),
                            LteRandom(second.firstEarfcn, second.lastEarfcn)};

    lte.carrierEarfcns = {carriers[0], carriers[1]};
    TRynSimLteServing &serving = lte.serving;
    serving = TRynSimLteServing{};
    serving.earfcn = carriers[0];
    serving.pci = LteRandom(0, 503);
    serving.tac = LteRandom(0x1000, 0xFFFE);
    serving.cellId = NewLteCellId();
    serving.rsrp.value = LteLevel(-108, -80, 1);
    serving.rsrq.value = LteLevel(-14, -6, 0.5);
    serving.sinr.value = LteLevel(0, 20, 2);

    lte.neighbours.assign(static_cast<std::size_t>(LteRandom(3, 6)), TRynSimLteCell{});
    std::vector<int> pcis{serving.pci};
    for (TRynSimLteCell &cell : lte.neighbours) {
        cell.earfcn = carriers[LteRandom(0, 1)];
        do {
            cell.pci = LteRandom(0, 503);
        } while (std::find(pcis.begin(), pcis.end(), cell.pci) != pcis.end());
        pcis.push_back(cell.pci);
        cell.rsrp.value = LteLevel(-115, -85, 1);
        cell.rsrq.value = LteLevel(-16, -8, 0.5);
    }

    TRynSimNrCell &nr = lte.nr;
    nr = TRynSimNrCell{};
    nr.arfcn = LteRandom(620000, 653333);
    nr.pci = LteRandom(0, 1007);
    nr.rsrp.value = LteLevel(-100, -70, 1);
    nr.rsrq.value = LteLevel(-13, -7, 1);
    nr.sinr.value = LteLevel(0, 25, 1);
}

void TRynSimModemEngine::WanderLte()
{
    TRynSimLteTruth &lte = m_truth.lte;
    const double rsrqStep = m_info->family->rsrqWanderStep;
    const double sinrStep = m_info->radio == TRynSimRadio::NrNonStandalone ? 2 : 1;
    WanderLevel(lte.serving.rsrp, 1, 2, kRsrpLow, kRsrpHigh);
    WanderLevel(lte.serving.rsrq, rsrqStep, 1, kRsrqLow, kRsrqHigh);
    WanderLevel(lte.serving.sinr, sinrStep, 1, kSinrLow, kSinrHigh);
    for (TRynSimLteCell &cell : lte.neighbours) {
        WanderLevel(cell.rsrp, 1, 2, kRsrpLow, kRsrpHigh);
        WanderLevel(cell.rsrq, rsrqStep, 1, kRsrqLow, kRsrqHigh);
    }
    WanderLevel(lte.nr.rsrp, 1, 2, -115, -65);
    WanderLevel(lte.nr.rsrq, 1, 1, -16, -5);
    WanderLevel(lte.nr.sinr, 1, 2, -5, 30);
    if (LteRandom(0, kReselectOneIn - 1) == 0)
        ReselectLte();
}

// The strongest neighbour becomes the serving cell, in the same tracking
// area under a cell identity of its own; the old serving cell a neighbour.
void TRynSimModemEngine::ReselectLte()
{
    TRynSimLteTruth &lte = m_truth.lte;
    const auto strongest = std::max_element(lte.neighbours.begin(), lte.neighbours.end(),
                                            [](const auto &a, const auto &b) { return a.rsrp.value < b.rsrp.value; });
    if (strongest == lte.neighbours.end())
        return;
    const TRynSimLteCell old = lte.serving;
    static_cast<TRynSimLteCell &>(lte.serving) = *strongest;
    lte.serving.cellId = NewLteCellId();
    *strongest = old;
    lte.nr.pci = LteRandom(0, 1007);
}

// What the model prints for the truth: each level on the grid its command
// can print exactly, and as that command prints it.
void TRynSimModemEngine::RefreshLte()
{
    TRynSimLteTruth &lte = m_truth.lte;
    lte.rat = m_info->radio == TRynSimRadio::NrNonStandalone ? "NR5G-NSA" : IsLte() ? "LTE" : "";
    lte.accessTechnology = m_info->radio == TRynSimRadio::NrNonStandalone ? 13 : IsLte() ? 7 : -1;
    lte.hasNr = m_info->radio == TRynSimRadio::NrNonStandalone;
    lte.serving.mcc = m_truth.operatorCode.size() == 5 ? std::stoi(m_truth.operatorCode.substr(0, 3)) : 0;
    lte.serving.mnc = m_truth.operatorCode.size() == 5 ? std::stoi(m_truth.operatorCode.substr(3)) : 0;

    const ModemFamily &family = *m_info->family;
    const double rsrqStep = family.rsrqGrid;
    const auto print = [&](TRynSimLteCell &cell, int bandwidthMhz) {
        cell.band = BandOfEarfcn(cell.earfcn);
        cell.rsrq.value = std::round(cell.rsrq.value / rsrqStep) * rsrqStep;
        cell.rssi.value = LteRssi(cell.rsrp.value, cell.rsrq.value, bandwidthMhz);
        // Whole dBm and dB unless the family's command prints otherwise.
        cell.rsrp.printed = IsLte() ? Whole(cell.rsrp.value) : "";
        cell.rsrq.printed = IsLte() ? Whole(cell.rsrq.value) : "";
        cell.rssi.printed = "";
        if (family.printLteLevels)
            family.printLteLevels(m_reportMode, cell);
    };
    lte.serving.bandwidthMhz = BandwidthOfEarfcn(lte.serving.earfcn);
    print(lte.serving, lte.serving.bandwidthMhz);
    for (TRynSimLteCell &cell : lte.neighbours)
        print(cell, lte.serving.bandwidthMhz);

    TRynSimLevel &sinr = lte.serving.sinr;
    if (lte.hasNr) {
        // The RM500Q's LTE line prints X for 2 X - 20 dB.
        sinr.value = std::round(sinr.value / 2) * 2;
        sinr.printed = Whole((sinr.value + 20) / 2);
    } else {
        sinr.value = std::round(sinr.value);
        sinr.printed = family.sinrText ? family.sinrText(m_reportMode, sinr.value) : "";
    }
    for (TRynSimLevel *level : {&lte.nr.rsrp, &lte.nr.rsrq, &lte.nr.sinr})
        level->printed = lte.hasNr ? Whole(level->value) : "";

    // The secondary carrier follows the serving cell: no draw of its own,
    // so the other answers of a seed stay as they were.
    TRynSimLteServing &scc = lte.scc;
    scc.earfcn = lte.serving.earfcn == lte.carrierEarfcns[0] ? lte.carrierEarfcns[1] : lte.carrierEarfcns[0];
    scc.pci = lte.serving.pci;
    scc.rsrp.value = lte.serving.rsrp.value - 3;
    scc.rsrq.value = lte.serving.rsrq.value - 1;
    scc.sinr.value = sinr.value - 2;
    scc.bandwidthMhz = BandwidthOfEarfcn(scc.earfcn);
    print(scc, scc.bandwidthMhz);
}

void TRynSimModemEngine::RefreshLevels()
{
    for (int i = 0; i < m_truth.cellCount; ++i) {
        TRynSimCell &cell = m_truth.cells[static_cast<std::size_t>(i)];
        cell.rssi = std::clamp(cell.dbm + 110, 0, 63);
        cell.c1 = cell.rssi - kSimRxLevAccessMin;
        cell.c2 = cell.c1;
    }
    if (m_truth.registration == 0) {
        m_truth.rssi = 99;
        m_truth.ber = 99;
    } else {
        m_truth.rssi = std::clamp((m_truth.cells[0].dbm + 113) / 2, 0, 31);
    }
    RefreshLte();
    if (IsLte() && m_truth.registration != 0) {
        m_truth.rssi = std::clamp(static_cast<int>(std::floor((m_truth.lte.serving.rssi.value + 113) / 2)), 0, 31);
        m_truth.ber = 99;
    }
}

void TRynSimModemEngine::SelectOperator(const TRynSimOperator &op, bool manual)
{
    const bool changed = op.code != m_truth.operatorCode || m_truth.registration == 0;
    m_truth.operatorName = op.longName;
    m_truth.operatorCode = op.code;
    m_truth.manualSelection = manual;
    m_truth.registration = 1;
    if (changed) {
        GenerateLte();
        GenerateCells();
    }
}

void TRynSimModemEngine::Wander(TRynSimCell &cell)
{
    // Fading around the cell's mean level, never more than 2 dB a poll.
    const int pull = cell.meanDbm > cell.dbm + 3 ? 1 : cell.meanDbm < cell.dbm - 3 ? -1 : 0;
    cell.dbm = std::clamp(cell.dbm + std::clamp(Random(-2, 2) + pull, -2, 2), kGsmLevelLow, kGsmLevelHigh);
}

// The GSM radio of one poll: every level fades; after its dwell the serving
// cell weakens while its strongest neighbour grows, and the neighbour takes
// over once it is stronger by the hysteresis (the old serving cell becomes a
// neighbour). A reselection is so an event of minutes, as with a modem that
// stays in one place, not a flicker between two cells of equal strength.
void TRynSimModemEngine::EvolveGsmCells()
{
    for (int i = 0; i < m_truth.cellCount; ++i)
        Wander(m_truth.cells[static_cast<std::size_t>(i)]);
    if (m_truth.cellCount > 1) {
        if (m_servingPollsLeft > 0 && --m_servingPollsLeft == 0)
            MoveTowardNeighbour();
        TRynSimCell &serving = m_truth.cells[0];
        TRynSimCell &strongest = StrongestNeighbour(m_truth);
        if (m_servingPollsLeft == 0 && strongest.dbm >= serving.dbm + kReselectHysteresisDb) {
            std::swap(serving, strongest);
            m_servingPollsLeft = Random(kServingDwellMinPolls, kServingDwellMaxPolls);
        }
    }
    SortGsmNeighbours(m_truth);
}

// The strongest neighbour's mean level rises above every other cell's, the
// serving cell's falls well below it.
void TRynSimModemEngine::MoveTowardNeighbour()
{
    TRynSimCell &target = StrongestNeighbour(m_truth);
    int others = kGsmLevelLow;
    for (int i = 1; i < m_truth.cellCount; ++i)
        if (const TRynSimCell &cell = m_truth.cells[static_cast<std::size_t>(i)]; &cell != &target)
            others = std::max(others, cell.meanDbm);
    target.meanDbm =
        std::clamp(std::max(Random(-85, -60), others + 2 * kReselectHysteresisDb), kGsmLevelLow, kGsmLevelHigh);
    TRynSimCell &serving = m_truth.cells[0];
    serving.meanDbm = std::max(kGsmLevelLow, target.meanDbm - Random(12, 25));
}

namespace {

// The route: a loop of kRouteRadiusM around kRouteCentre at kRouteSpeedKmh,
// a second per poll; the serving cell's site a little off its centre, so
// the distance to it (and the RSRP) changes along the way.
constexpr double kRouteCentreLat = 50.0900;
constexpr double kRouteCentreLon = 14.4300;
constexpr double kSiteLat = 50.0800;
constexpr double kSiteLon = 14.4200;
constexpr double kRouteRadiusM = 1500;
constexpr double kRouteSpeedKmh = 50;
constexpr double kMetresPerDegree = 111320;

} // namespace

void TRynSimModemEngine::MoveAlongRoute()
{
    TRynSimGnss &g = m_truth.gnss;
    const double angle = m_polls * (kRouteSpeedKmh / 3.6) / kRouteRadiusM;
    const double cosLat = std::cos(kRouteCentreLat * std::numbers::pi / 180);
    g.lat = kRouteCentreLat + kRouteRadiusM * std::sin(angle) / kMetresPerDegree;
    g.lon = kRouteCentreLon + kRouteRadiusM * std::cos(angle) / (kMetresPerDegree * cosLat);
    g.altM = 240 + 20 * std::sin(angle * 3);
    g.speedKmh = kRouteSpeedKmh;
    // Anticlockwise: the course is the tangent, from north clockwise.
    g.courseDeg = std::fmod(360 + 180 - angle * 180 / std::numbers::pi, 360);
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[16];
    std::strftime(text, sizeof text, "%H%M%S", &utc);
    g.utc = text;
    std::strftime(text, sizeof text, "%d%m%y", &utc);
    g.date = text;
    if (!m_gnssUsed || !IsLte())
        return;
    const double north = (g.lat - kSiteLat) * kMetresPerDegree;
    const double east = (g.lon - kSiteLon) * kMetresPerDegree * cosLat;
    const double km = std::max(0.05, std::hypot(north, east) / 1000);
    m_truth.lte.serving.rsrp.value = std::clamp(std::round(-60 - 35 * std::log10(km / 0.1)), kRsrpLow, kRsrpHigh);
}

void TRynSimModemEngine::Poll()
{
    ++m_polls;
    if (m_truth.registration != 0) {
        EvolveGsmCells();
        m_truth.ber = Random(0, 7) == 0 ? Random(1, 4) : 0;
        WanderLte();
    }
    MoveAlongRoute();
    RefreshLevels();

    if (m_inCall && --m_callPollsLeft <= 0) {
        m_inCall = false;
        m_truth.activity = 0;
    }
    if (m_callAfterPolls > 0 && m_polls == m_callAfterPolls)
        StartIncomingCall();
}

void TRynSimModemEngine::StartIncomingCall()
{
    if (m_ringing || m_inCall)
        return;
    m_ringing = true;
    m_truth.activity = 3;
    if (m_unsolicitedRing)
        m_unsolicited += "\r\nRING\r\n";
}

std::string TRynSimModemEngine::TakeUnsolicited()
{
    std::string out;
    out.swap(m_unsolicited);
    return out;
}

void TRynSimModemEngine::QueueUnsolicited(TRynSimUrcPlacement placement)
{
    static const char *const round[] = {
        "RING", "+CMTI: \"SM\",3", "+CREG: 1", "+CLIP: \"+420603123456\",145,,,,0", "^SYSSTART",
        "+CGEV: ME PDN ACT 1", "+CRING: VOICE", "+CREG: 1,\"0E3C\",\"1A2B\",0", "NO CARRIER",
    };
    const std::string line = round[m_unsolicitedRound++ % std::size(round)];
    if (placement == TRynSimUrcPlacement::OnItsOwn)
        m_unsolicited += "\r\n" + line + "\r\n";
    else
        m_unsolicitedInside = line;
}

void TRynSimModemEngine::SetCregStartMode(int mode)
{
    m_cregStartMode = mode;
    m_cregMode = mode;
}

void TRynSimModemEngine::AddCommandDelay(const std::string &pattern, std::chrono::milliseconds delay)
{
    m_delays.emplace_back(Upper(pattern), delay);
}

std::chrono::milliseconds TRynSimModemEngine::CommandDelay(const std::string &line) const
{
    std::chrono::milliseconds delay{0};
    const std::string upper = Upper(line);
    for (const auto &[pattern, ms] : m_delays)
        if (upper.find(pattern) != std::string::npos)
            delay = std::max(delay, ms);
    return delay;
}

std::string TRynSimModemEngine::Feed(const std::string &bytes)
{
    std::string out;
    for (const TRynSimReply &reply : FeedReplies(bytes))
        out += reply.bytes;
    return out;
}

std::vector<TRynSimReply> TRynSimModemEngine::FeedReplies(const std::string &bytes)
{
    std::vector<TRynSimReply> replies;
    std::string echo;
    for (char c : bytes) {
        if (m_echo)
            echo += c;
        if (c == '\r') {
            std::string line;
            line.swap(m_line);
            if (!echo.empty())
                replies.push_back({std::move(echo), {}});
            echo.clear();
            const std::chrono::milliseconds delay = CommandDelay(line);
            if (std::string answer = ExecuteLine(line); !answer.empty())
                replies.push_back({std::move(answer), delay});
        } else if (c == '\n') {
            // LF after CR from terminals that send both: not part of a line.
        } else if (c == '\b' || c == 0x7F) {
            if (!m_line.empty())
                m_line.pop_back();
        } else if (m_line.size() <= kMaxLineLength) {
            m_line += c;
        }
    }
    if (!echo.empty())
        replies.push_back({std::move(echo), {}});
    return replies;
}

std::string TRynSimModemEngine::ErrorText(int result) const
{
    if (result == kSyntaxError || m_cmee == 0)
        return "ERROR";
    if (m_cmee == 1)
        return "+CME ERROR: " + std::to_string(result);
    switch (result) {
    case 3: return "+CME ERROR: operation not allowed";
    case 10: return "+CME ERROR: SIM not inserted";
    case 11: return "+CME ERROR: SIM PIN required";
    case 30: return "+CME ERROR: no network service";
    default: return "+CME ERROR: unknown";
    }
}

std::string TRynSimModemEngine::ExecuteLine(const std::string &raw)
{
    std::string line = Trim(raw);
    if (line.empty())
        return {};
    if (line.size() > kMaxLineLength)
        return "\r\nERROR\r\n";
    if (Upper(line) == "A/")
        line = m_lastLine;
    if (line.size() < 2 || Upper(line.substr(0, 2)) != "AT")
        return "\r\nERROR\r\n";
    m_lastLine = line;

    std::vector<std::string> info;
    std::string final = "OK";
    const std::string body = line.substr(2);
    std::size_t i = 0;
    while (i < body.size()) {
        const char c = body[i];
        if (c == ' ' || c == ';') {
            ++i;
            continue;
        }
        // The makers' extended commands start with + ^ # ! or %.
        if (c == '+' || c == '^' || c == '#' || c == '!' || c == '%') {
            // An extended command runs to the next ';' outside quotes.
            std::size_t end = i;
            bool inQuotes = false;
            while (end < body.size() && (inQuotes || body[end] != ';')) {
                if (body[end] == '"')
                    inQuotes = !inQuotes;
                ++end;
            }
            const int result = ExecuteExtended(body.substr(i, end - i), info);
            if (result != kOk) {
                final = ErrorText(result);
                break;
            }
            i = end;
            continue;
        }
        // A basic command: a letter (or & and a letter) and an optional number.
        std::string name(1, static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        ++i;
        if (name == "&" && i < body.size()) {
            name += static_cast<char>(std::toupper(static_cast<unsigned char>(body[i])));
            ++i;
        }
        std::string digits;
        while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i])) && digits.size() < 3)
            digits += body[i++];
        if (!ExecuteBasic(name, digits.empty() ? 0 : std::stoi(digits), info, final))
            break;
    }
    return FramedAnswer(std::move(info), final);
}

bool TRynSimModemEngine::ExecuteBasic(const std::string &name, int value, std::vector<std::string> &info,
                                      std::string &final)
{
    if (name == "E" && value <= 1) {
        m_echo = value == 1;
    } else if ((name == "V" || name == "X") && value <= 4) {
    } else if (name == "Q" && value == 0) {
    } else if (name == "Z" || name == "&F") {
        ResetSettings();
    } else if (name == "I") {
        // The makers' own firmware names carry a label in ATI.
        const std::string revision = m_info->revision;
        info.push_back(Manufacturer() + "\r\n" + m_model + "\r\n" +
                       (revision.rfind("REVISION", 0) == 0 ? revision : "Revision: " + revision));
    } else if (name == "A") {
        // Answers the ringing call; the rest of the line is not read.
        if (m_ringing) {
            m_ringing = false;
            m_inCall = true;
            m_callPollsLeft = kCallPolls;
            m_truth.activity = 4;
        } else {
            final = "NO CARRIER";
        }
        return false;
    } else if (name == "H") {
        m_ringing = false;
        m_inCall = false;
        m_truth.activity = 0;
    } else if (name == "D") {
        final = "NO CARRIER";
        return false;
    } else {
        final = "ERROR";
        return false;
    }
    return true;
}

std::string TRynSimModemEngine::FramedAnswer(std::vector<std::string> info, const std::string &final)
{
    if (!m_unsolicitedInside.empty()) {
        // Line by line, with the unsolicited line in the middle of the answer.
        std::vector<std::string> lines;
        for (const std::string &block : info)
            for (std::size_t start = 0;;) {
                const std::size_t end = block.find("\r\n", start);
                lines.push_back(block.substr(start, end - start));
                if (end == std::string::npos)
                    break;
                start = end + 2;
            }
        lines.insert(lines.begin() + std::ptrdiff_t((lines.size() + 1) / 2), m_unsolicitedInside);
        m_unsolicitedInside.clear();
        info = std::move(lines);
    }
    std::string out;
    for (const std::string &block : info)
        out += "\r\n" + block + "\r\n";
    out += "\r\n" + final + "\r\n";
    return out;
}

namespace {

using Request = TRynSimModemEngine::Request;
using Info = std::vector<std::string>;

// An identification command: its text in the exec form, OK in the test form.
template <typename Text>
int ExecOnly(const Request &r, Info &info, Text text)
{
    if (!(r.exec || r.test))
        return -1;
    if (r.exec)
        info.push_back(text());
    return 0;
}

} // namespace

int TRynSimModemEngine::ExecuteExtended(const std::string &command, std::vector<std::string> &info)
{
    // Names are letters and digits, and the underscore some makers use
    // ("^CA_INFO").
    std::size_t nameEnd = 1;
    while (nameEnd < command.size() &&
           (std::isalnum(static_cast<unsigned char>(command[nameEnd])) || command[nameEnd] == '_'))
        ++nameEnd;
    const std::string name = Upper(command.substr(0, nameEnd));
    Request r;
    r.rest = command.substr(nameEnd);
    const std::string trimmed = Trim(r.rest);
    r.exec = trimmed.empty();
    r.test = trimmed == "=?";
    r.read = trimmed == "?";
    r.set = !r.test && !r.rest.empty() && r.rest[0] == '=';
    if (r.set)
        r.args = r.rest.substr(1);

    static const std::map<std::string, Handler> handlers = [] {
        std::map<std::string, Handler> all;
        for (Handlers (*group)() : {&IdentityCommands, &NetworkCommands})
            for (auto &[commandName, handler] : group())
                all.emplace(commandName, handler);
        return all;
    }();
    const auto it = handlers.find(name);
    return it == handlers.end() ? ExecuteFamilyCommand(name, r, info) : it->second(*this, r, info);
}

int TRynSimModemEngine::ExecuteFamilyCommand(const std::string &name, const Request &r, std::vector<std::string> &info)
{
    for (const ModemFamily *family : {m_info->family, &FallbackFamily()}) {
        const auto &commands = family->simCellCommands;
        const auto it = std::find_if(commands.begin(), commands.end(),
                                     [&](const SimCellCommand &c) { return name == c.name; });
        if (it == commands.end())
            continue;
        const int mode = m_reportMode;
        SimContext context{m_truth, m_model, IsLte(), m_seed, m_polls, m_reportMode, &m_gnssUsed};
        const int result = it->execute(r, context, info);
        // A changed report mode changes how the levels print.
        if (m_reportMode != mode)
            RefreshLevels();
        return result;
    }
    return kSyntaxError;
}

TRynSimModemEngine::Handlers TRynSimModemEngine::IdentityCommands()
{
    const auto manufacturer = [](TRynSimModemEngine &m, const Request &q, Info &out) {
        return ExecOnly(q, out, [&] { return m.Manufacturer(); });
    };
    const auto model = [](TRynSimModemEngine &m, const Request &q, Info &out) {
        return ExecOnly(q, out, [&] { return m.m_model; });
    };
    const auto revision = [](TRynSimModemEngine &m, const Request &q, Info &out) {
        return ExecOnly(q, out, [&] { return std::string(m.m_info->revision); });
    };
    const auto serial = [](TRynSimModemEngine &m, const Request &q, Info &out) {
        return ExecOnly(q, out, [&] {
            return Format("35%06u%07u", m.m_seed % 1000000U, (m.m_seed * 2654435761U) % 10000000U);
        });
    };
    // The SIM's answers: +CME ERROR 10 (SIM not inserted) without one.
    const auto pin = [](TRynSimModemEngine &m, const Request &q, Info &out) {
        if (q.test)
            return kOk;
        if (!q.read)
            return kSyntaxError;
        if (m.m_simCard == SimCard::Missing)
            return 10;
        out.emplace_back(m.m_simCard == SimCard::PinLocked ? "+CPIN: SIM PIN" : "+CPIN: READY");
        return kOk;
    };
    const auto imsi = [](TRynSimModemEngine &m, const Request &q, Info &out) {
        if (m.m_simCard != SimCard::Ready)
            return m.m_simCard == SimCard::Missing ? 10 : 11;
        return ExecOnly(q, out, [&] { return m.Imsi(); });
    };
    const auto iccid = [](TRynSimModemEngine &m, const Request &q, Info &out) {
        if (m.m_simCard == SimCard::Missing)
            return 10;
        return ExecOnly(q, out, [&] { return "+CCID: " + m.Iccid(); });
    };
    const auto cfun = [](TRynSimModemEngine &m, const Request &q, Info &out) { return m.ExecuteCfun(q, out); };
    return {{"+CGMI", manufacturer}, {"+GMI", manufacturer}, {"+CGMM", model}, {"+GMM", model},
            {"+CGMR", revision},     {"+GMR", revision},     {"+CGSN", serial}, {"+GSN", serial},
            {"+CPIN", pin},          {"+CIMI", imsi},        {"+CCID", iccid},  {"+CFUN", cfun}};
}

std::string TRynSimModemEngine::Imsi() const
{
    return Operators().front().code + Format("%010u", (m_seed * 2246822519U) % 1000000000U);
}

std::string TRynSimModemEngine::Iccid() const
{
    return Format("8942%06u%09u", m_seed % 1000000U, (m_seed * 3266489917U) % 1000000000U);
}

// AT+CFUN: 1 full function, 0 minimum and 4 flight mode, in which the modem
// leaves the network; back at 1 it registers on its home network again.
int TRynSimModemEngine::ExecuteCfun(const Request &r, Info &info)
{
    if (r.test) {
        info.emplace_back("+CFUN: (0,1,4),(0-1)");
        return kOk;
    }
    if (r.read) {
        info.push_back(Format("+CFUN: %d", m_cfun));
        return kOk;
    }
    int n = 0;
    const std::string fun = r.args.substr(0, r.args.find(','));
    if (!r.set || !ParseNumber(fun, n) || (n != 0 && n != 1 && n != 4))
        return kSyntaxError;
    if (n != 1)
        LeaveNetwork();
    else if (m_cfun != 1 && m_simCard == SimCard::Ready) {
        SelectOperator(Operators().front(), false);
    }
    m_cfun = n;
    return kOk;
}

void TRynSimModemEngine::SetSimCard(SimCard card)
{
    m_simCard = card;
    if (card == SimCard::Ready) {
        if (m_truth.registration == 0 && m_cfun == 1)
            SelectOperator(Operators().front(), false);
        return;
    }
    LeaveNetwork();
}

void TRynSimModemEngine::LeaveNetwork()
{
    m_truth.registration = 0;
    m_truth.operatorName.clear();
    m_truth.operatorCode.clear();
    RefreshLevels();
}

std::optional<TRynSimModemEngine::SimCard> TRynSimModemEngine::SimCardOf(const std::string &word)
{
    if (word == "ready")
        return SimCard::Ready;
    if (word == "pin")
        return SimCard::PinLocked;
    if (word == "absent")
        return SimCard::Missing;
    return std::nullopt;
}

TRynSimModemEngine::Handlers TRynSimModemEngine::NetworkCommands()
{
    return {
        {"+CSQ",
         [](TRynSimModemEngine &m, const Request &q, Info &out) {
             if (q.test) {
                 out.emplace_back("+CSQ: (0-31,99),(0-7,99)");
                 return kOk;
             }
             if (!q.exec)
                 return kSyntaxError;
             m.Poll();
             out.push_back(Format("+CSQ: %d,%d", m.m_truth.rssi, m.m_truth.ber));
             return kOk;
         }},
        {"+COPS", [](TRynSimModemEngine &m, const Request &q, Info &out) { return m.ExecuteCops(q.rest, out); }},
        {"+CREG", [](TRynSimModemEngine &m, const Request &q, Info &out) { return m.ExecuteCreg(q, out); }},
        {"+CPAS",
         [](TRynSimModemEngine &m, const Request &q, Info &out) {
             if (q.test) {
                 out.emplace_back("+CPAS: (0-5)");
                 return kOk;
             }
             if (!q.exec)
                 return kSyntaxError;
             out.push_back(Format("+CPAS: %d", m.m_truth.activity));
             return kOk;
         }},
        {"+CMEE", [](TRynSimModemEngine &m, const Request &q, Info &out) { return m.ExecuteCmee(q, out); }},
    };
}

int TRynSimModemEngine::ExecuteCreg(const Request &r, Info &info)
{
    if (r.test) {
        info.emplace_back("+CREG: (0-2)");
        return kOk;
    }
    if (r.read) {
        if (m_cregMode == 2 && m_truth.registration != 0 && IsLte())
            info.push_back(Format("+CREG: 2,%d,\"%04X\",\"%X\",%d", m_truth.registration, m_truth.lte.serving.tac,
                                  m_truth.lte.serving.cellId, m_truth.lte.accessTechnology));
        else if (m_cregMode == 2 && m_truth.registration != 0)
            info.push_back(Format("+CREG: 2,%d,\"%04X\",\"%04X\",0", m_truth.registration, m_truth.cells[0].lac,
                                  m_truth.cells[0].cellId));
        else
            info.push_back(Format("+CREG: %d,%d", m_cregMode, m_truth.registration));
        return kOk;
    }
    int n = 0;
    if (r.set && ParseNumber(r.args, n) && n <= 2) {
        m_cregMode = n;
        return kOk;
    }
    return kSyntaxError;
}

int TRynSimModemEngine::ExecuteCmee(const Request &r, Info &info)
{
    if (r.test) {
        info.emplace_back("+CMEE: (0-2)");
        return kOk;
    }
    if (r.read) {
        info.push_back(Format("+CMEE: %d", m_cmee));
        return kOk;
    }
    int n = 0;
    if (r.set && ParseNumber(r.args, n) && n <= 2) {
        m_cmee = n;
        return kOk;
    }
    return kSyntaxError;
}

int TRynSimModemEngine::ExecuteCops(const std::string &rest, std::vector<std::string> &info)
{
    const std::string r = Trim(rest);
    if (r == "?") {
        if (m_truth.registration == 0) {
            info.emplace_back("+COPS: 2");
            return kOk;
        }
        const auto &ops = Operators();
        const auto it = std::find_if(ops.begin(), ops.end(),
                                     [&](const TRynSimOperator &o) { return o.code == m_truth.operatorCode; });
        std::string name = m_truth.operatorCode;
        if (m_copsFormat == 0)
            name = m_truth.operatorName;
        else if (m_copsFormat == 1 && it != ops.end())
            name = it->shortName;
        std::string answer = Format("+COPS: %d,%d,\"%s\"", m_truth.manualSelection ? 1 : 0, m_copsFormat, name.c_str());
        if (m_truth.lte.accessTechnology >= 0)
            answer += "," + std::to_string(m_truth.lte.accessTechnology);
        info.push_back(answer);
        return kOk;
    }
    if (r == "=?") {
        // The networks in reach: the ones it can register on, the one in
        // use marked current, and a foreign network the SIM forbids; each
        // with the model's access technology where it prints one.
        if (m_simCard != SimCard::Ready)
            return m_simCard == SimCard::Missing ? 10 : 11;
        const std::string act =
            m_truth.lte.accessTechnology >= 0 ? "," + std::to_string(m_truth.lte.accessTechnology) : std::string();
        std::string list = "+COPS: ";
        for (const TRynSimOperator &o : Operators()) {
            const int status = o.code == m_truth.operatorCode && m_truth.registration != 0 ? 2 : 1;
            list += Format("(%d,\"%s\",\"%s\",\"%s\"%s),", status, o.longName.c_str(), o.shortName.c_str(),
                           o.code.c_str(), act.c_str());
        }
        list += "(3,\"Vodafone.de\",\"VF DE\",\"26202\"" + act + "),";
        info.push_back(list + ",(0-4),(0-2)");
        return kOk;
    }
    if (r.empty() || r[0] != '=')
        return kSyntaxError;
    // Without a SIM that is ready, or out of full function, no network to
    // select (setting the format alone, +COPS=3, still works).
    const bool formatOnly = r.rfind("=3,", 0) == 0;
    if (m_simCard != SimCard::Ready && !formatOnly)
        return m_simCard == SimCard::Missing ? 10 : 11;
    if (m_cfun != 1 && !formatOnly)
        return 3;
    std::vector<Argument> args;
    if (!SplitArguments(r.substr(1), args) || args.size() > 3)
        return kSyntaxError;
    int mode = 0;
    if (!ParseNumber(args[0].text, mode) || mode > 4)
        return kSyntaxError;
    int format = m_copsFormat;
    if (args.size() >= 2 && !args[1].text.empty() && (!ParseNumber(args[1].text, format) || format > 2))
        return kSyntaxError;
    switch (mode) {
    case 0:
        SelectOperator(Operators().front(), false);
        break;
    case 1:
    case 4: {
        if (args.size() < 3 || !args[2].quoted)
            return kSyntaxError;
        const std::string &wanted = args[2].text;
        const auto &ops = Operators();
        const auto it = std::find_if(ops.begin(), ops.end(), [&](const TRynSimOperator &o) {
            return format == 0 ? o.longName == wanted : format == 1 ? o.shortName == wanted : o.code == wanted;
        });
        if (it != ops.end())
            SelectOperator(*it, true);
        else if (mode == 4)
            SelectOperator(ops.front(), false);
        else
            return 30; // no network service
        break;
    }
    case 2:
        m_truth.manualSelection = true;
        LeaveNetwork();
        break;
    case 3:
        if (args.size() < 2 || args[1].text.empty())
            return kSyntaxError;
        break;
    default:
        return kSyntaxError;
    }
    m_copsFormat = format;
    return kOk;
}

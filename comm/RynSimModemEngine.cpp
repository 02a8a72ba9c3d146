#include "RynSimModemEngine.h"

#include "RynSimText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

using rynsim::ParseNumber;
using rynsim::Trim;

namespace {

constexpr std::size_t kMaxLineLength = 1024;
constexpr int kRxLevAccessMin = 8; // C1 = RXLEV - RXLEV_ACCESS_MIN
constexpr int kMaxTxPower = 5;
constexpr int kMaxCells = 7;

std::string Upper(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Splits "1,2,\"230 01\"" on commas outside quotes; quotes are removed and
// a quoted argument is marked so that 1,"2" and 1,2 can be told apart.
struct Argument {
    std::string text;
    bool quoted = false;
};

bool SplitArguments(const std::string &args, std::vector<Argument> &out)
{
    out.clear();
    Argument current;
    bool inQuotes = false;
    for (char c : args) {
        if (c == '"') {
            inQuotes = !inQuotes;
            current.quoted = true;
        } else if (c == ',' && !inQuotes) {
            out.push_back(current);
            current = Argument{};
        } else if (inQuotes || c != ' ') {
            current.text += c;
        }
    }
    if (inQuotes)
        return false;
    out.push_back(current);
    return true;
}

std::string Format(const char *format, auto... values)
{
    char buffer[160];
    const int n = std::snprintf(buffer, sizeof buffer, format, values...);
    return std::string(buffer, n > 0 ? std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1) : 0);
}

} // namespace

// ---------------------------------------------------------------- engine

const std::vector<TRynSimOperator> &TRynSimModemEngine::Operators()
{
    static const std::vector<TRynSimOperator> operators = {
        {"23001", "T-Mobile CZ", "TMO CZ"},
        {"23002", "O2 - CZ", "O2 CZ"},
        {"23003", "Vodafone CZ", "VF CZ"},
    };
    return operators;
}

TRynSimModemEngine::TRynSimModemEngine(std::uint32_t seed) { Reset(seed); }

int TRynSimModemEngine::Random(int low, int high)
{
    // Own mapping instead of a distribution: the sequence is the same with
    // every standard library, so a seed means the same modem everywhere.
    const auto span = static_cast<std::uint32_t>(high - low + 1);
    return low + static_cast<int>(m_random() % span);
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
    m_truth = TRynSimTruth{};
    SelectOperator(Operators().front(), false);
}

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
    }
    for (int i = m_truth.cellCount; i < kMaxCells; ++i)
        m_truth.cells[static_cast<std::size_t>(i)] = TRynSimCell{};
    RefreshLevels();
}

void TRynSimModemEngine::RefreshLevels()
{
    for (int i = 0; i < m_truth.cellCount; ++i) {
        TRynSimCell &cell = m_truth.cells[static_cast<std::size_t>(i)];
        cell.rssi = std::clamp(cell.dbm + 110, 0, 63);
        cell.c1 = cell.rssi - kRxLevAccessMin;
        cell.c2 = cell.c1;
    }
    if (m_truth.registration == 0) {
        m_truth.rssi = 99;
        m_truth.ber = 99;
    } else {
        m_truth.rssi = std::clamp((m_truth.cells[0].dbm + 113) / 2, 0, 31);
    }
}

void TRynSimModemEngine::SelectOperator(const TRynSimOperator &op, bool manual)
{
    const bool changed = op.code != m_truth.operatorCode || m_truth.registration == 0;
    m_truth.operatorName = op.longName;
    m_truth.operatorCode = op.code;
    m_truth.manualSelection = manual;
    m_truth.registration = 1;
    if (changed)
        GenerateCells();
}

void TRynSimModemEngine::Wander(TRynSimCell &cell, int low, int high)
{
    cell.dbm = std::clamp(cell.dbm + Random(-2, 2), low, high);
}

void TRynSimModemEngine::Poll()
{
    ++m_polls;
    if (m_truth.registration != 0) {
        Wander(m_truth.cells[0], -110, -55);
        for (int i = 1; i < m_truth.cellCount; ++i)
            Wander(m_truth.cells[static_cast<std::size_t>(i)], -110, -70);
        // Now and then the modem reselects: the strongest neighbour becomes
        // the serving cell and the old serving cell a neighbour.
        if (m_truth.cellCount > 1 && Random(0, 24) == 0) {
            const auto first = m_truth.cells.begin() + 1;
            const auto strongest = std::max_element(first, m_truth.cells.begin() + m_truth.cellCount,
                                                    [](const auto &a, const auto &b) { return a.dbm < b.dbm; });
            std::swap(m_truth.cells[0], *strongest);
        }
        m_truth.ber = Random(0, 7) == 0 ? Random(1, 4) : 0;
    }
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
        if (c == '+' || c == '^') {
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
        const int value = digits.empty() ? 0 : std::stoi(digits);
        if (name == "E" && value <= 1) {
            m_echo = value == 1;
        } else if ((name == "V" || name == "X") && value <= 4) {
        } else if (name == "Q" && value == 0) {
        } else if (name == "Z" || name == "&F") {
            ResetSettings();
        } else if (name == "I") {
            info.push_back(std::string(kManufacturer) + "\r\n" + m_model + "\r\nREVISION 01.000");
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
            break;
        } else if (name == "H") {
            m_ringing = false;
            m_inCall = false;
            m_truth.activity = 0;
        } else if (name == "D") {
            final = "NO CARRIER";
            break;
        } else {
            final = "ERROR";
            break;
        }
    }

    std::string out;
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
    for (const std::string &block : info)
        out += "\r\n" + block + "\r\n";
    out += "\r\n" + final + "\r\n";
    return out;
}

struct TRynSimModemEngine::Request {
    std::string rest; // everything after the name
    bool exec = false;
    bool test = false;
    bool read = false;
    bool set = false;
    std::string args; // after the '=' of a set command
};

namespace {

using Request = TRynSimModemEngine::Request;
using Info = std::vector<std::string>;

// A command answered by a fixed text in its exec form (identification, a
// cell-monitor list) and by OK in its test form; ERROR where the modem does
// not know it.
template <typename Text>
int ExecOnly(bool known, const Request &r, Info &info, Text text)
{
    if (!known || !(r.exec || r.test))
        return -1;
    if (r.exec)
        info.push_back(text());
    return 0;
}

} // namespace

int TRynSimModemEngine::ExecuteExtended(const std::string &command, std::vector<std::string> &info)
{
    std::size_t nameEnd = 1;
    while (nameEnd < command.size() && std::isalnum(static_cast<unsigned char>(command[nameEnd])))
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

    using Handler = int (*)(TRynSimModemEngine &, const Request &, Info &);
    const auto manufacturer = [](TRynSimModemEngine &, const Request &q, Info &out) {
        return ExecOnly(true, q, out, [] { return std::string(kManufacturer); });
    };
    const auto model = [](TRynSimModemEngine &m, const Request &q, Info &out) {
        return ExecOnly(true, q, out, [&] { return m.m_model; });
    };
    const auto revision = [](TRynSimModemEngine &, const Request &q, Info &out) {
        return ExecOnly(true, q, out, [] { return std::string("REVISION 01.000"); });
    };
    const auto serial = [](TRynSimModemEngine &m, const Request &q, Info &out) {
        return ExecOnly(true, q, out, [&] {
            return Format("35%06u%07u", m.m_seed % 1000000U, (m.m_seed * 2654435761U) % 10000000U);
        });
    };
    static const std::map<std::string, Handler> handlers = {
        {"+CGMI", manufacturer},
        {"+GMI", manufacturer},
        {"+CGMM", model},
        {"+GMM", model},
        {"+CGMR", revision},
        {"+GMR", revision},
        {"+CGSN", serial},
        {"+GSN", serial},
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
        {"^MONI",
         [](TRynSimModemEngine &m, const Request &q, Info &out) {
             return ExecOnly(m.HasMoni(), q, out, [&] { return m.MoniAnswer(); });
         }},
        {"^MONP",
         [](TRynSimModemEngine &m, const Request &q, Info &out) {
             return ExecOnly(m.HasMoni(), q, out, [&] { return m.MonpAnswer(); });
         }},
        {"^SMONP",
         [](TRynSimModemEngine &m, const Request &q, Info &out) {
             return ExecOnly(m.m_model == "BGS5", q, out, [&] { return m.SmonpAnswer(); });
         }},
    };
    const auto it = handlers.find(name);
    return it == handlers.end() ? kSyntaxError : it->second(*this, r, info);
}

int TRynSimModemEngine::ExecuteCreg(const Request &r, Info &info)
{
    if (r.test) {
        info.emplace_back("+CREG: (0-2)");
        return kOk;
    }
    if (r.read) {
        if (m_cregMode == 2 && m_truth.registration != 0)
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
        info.push_back(Format("+COPS: %d,%d,\"%s\"", m_truth.manualSelection ? 1 : 0, m_copsFormat, name.c_str()));
        return kOk;
    }
    if (r == "=?") {
        std::string list = "+COPS: ";
        for (const TRynSimOperator &o : Operators()) {
            const int status = o.code == m_truth.operatorCode && m_truth.registration != 0 ? 2 : 1;
            list += Format("(%d,\"%s\",\"%s\",\"%s\"),", status, o.longName.c_str(), o.shortName.c_str(),
                           o.code.c_str());
        }
        info.push_back(list + ",(0-4),(0-2)");
        return kOk;
    }
    if (r.empty() || r[0] != '=')
        return kSyntaxError;
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
        m_truth.registration = 0;
        m_truth.operatorName.clear();
        m_truth.operatorCode.clear();
        m_truth.manualSelection = true;
        RefreshLevels();
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

std::string TRynSimModemEngine::MoniAnswer() const
{
    std::string out = "chann rs  dBm   MCC  MNC   LAC  cell NCC BCC PWR RXLev  C1";
    if (m_truth.registration == 0)
        return out + "\r\n Searching";
    const TRynSimCell &c = m_truth.cells[0];
    out += Format("\r\n%5d %3d %4d  %3d  %02d  %04X  %04X %3d %3d %3d %5d %3d", c.channel, c.rssi, c.dbm, c.mcc, c.mnc,
                  c.lac, c.cellId, c.ncc, c.bcc, kMaxTxPower, kRxLevAccessMin, c.c1);
    return out;
}

std::string TRynSimModemEngine::MonpAnswer() const
{
    std::string out = "chann rs  dBm   MCC  MNC  BCC   C1   C2";
    if (m_truth.registration == 0)
        return out;
    for (int i = 1; i < m_truth.cellCount; ++i) {
        const TRynSimCell &c = m_truth.cells[static_cast<std::size_t>(i)];
        out += Format("\r\n%5d %3d %4d  %3d  %02d  %3d %4d %4d", c.channel, c.rssi, c.dbm, c.mcc, c.mnc, c.bcc, c.c1,
                      c.c2);
    }
    return out;
}

std::string TRynSimModemEngine::SmonpAnswer() const
{
    // Serving cell first, then the neighbours: channel,rs,dBm,MCC,MNC,NCC,BCC,C1,C2,LAC,cell.
    std::string out = "2G:";
    if (m_truth.registration == 0)
        return out;
    for (int i = 0; i < m_truth.cellCount; ++i) {
        const TRynSimCell &c = m_truth.cells[static_cast<std::size_t>(i)];
        out += Format("\r\n%d,%d,%d,%d,%02d,%d,%d,%d,%d,%04X,%04X", c.channel, c.rssi, c.dbm, c.mcc, c.mnc, c.ncc,
                      c.bcc, c.c1, c.c2, c.lac, c.cellId);
    }
    return out;
}

#include "modems/common/CellFields.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace cellfields {

std::optional<std::string_view> BodyAfter(const std::string &line, std::string_view prefix)
{
    const std::string_view s = TrimmedControl(line);
    if (!StartsWith(s, prefix))
        return std::nullopt;
    return TrimmedControl(s.substr(prefix.size()));
}

Int DecimalOf(std::string_view t)
{
    if (!t.empty() && t.front() == '+') {
        t.remove_prefix(1);
        if (!t.empty() && t.front() == '-')
            return std::nullopt; // "+-5"
    }
    const std::size_t digits = t.size() - ((!t.empty() && t.front() == '-') ? 1 : 0);
    if (digits == 0 || digits > 18)
        return std::nullopt;
    std::int64_t v = 0;
    const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, 10);
    if (ec != std::errc() || ptr != t.data() + t.size())
        return std::nullopt;
    return v;
}

Int HexOf(std::string_view t)
{
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        t.remove_prefix(2);
    if (t.empty() || t.size() > 15 || t.front() == '-')
        return std::nullopt;
    std::int64_t v = 0;
    const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, 16);
    if (ec != std::errc() || ptr != t.data() + t.size())
        return std::nullopt;
    return v;
}

Int DecimalOrPrefixedHex(std::string_view t)
{
    if (IsNoValue(t, FieldKind::CellId))
        return std::nullopt;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        return HexOf(t);
    const Int v = DecimalOf(t);
    if (!v || *v < 0)
        return std::nullopt;
    return v;
}

Number NumberOf(std::string_view t)
{
    std::size_t i = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
    const std::size_t start = i;
    while (i < t.size() && IsDigit(t[i]))
        ++i;
    const std::size_t whole = i - start;
    std::size_t fraction = 0;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && IsDigit(t[i])) {
            ++i;
            ++fraction;
        }
        if (fraction == 0)
            return std::nullopt;
    }
    if (whole == 0 || whole > 15 || fraction > 6 || i != t.size())
        return std::nullopt;
    if (t[0] == '+')
        t.remove_prefix(1);
    double v = 0;
    const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || ptr != t.data() + t.size())
        return std::nullopt;
    return v;
}

std::optional<std::int32_t> Int32Of(const Int &v)
{
    if (!v || *v < INT32_MIN || *v > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

Number MeasureOf(std::string_view t)
{
    if (IsNoValue(t, FieldKind::Level))
        return std::nullopt;
    return NumberOf(t);
}

std::optional<std::int32_t> IntegerOf(std::string_view t)
{
    if (IsNoValue(t, FieldKind::Channel))
        return std::nullopt;
    const Int v = DecimalOf(t);
    if (!v || *v < 0)
        return std::nullopt;
    return Int32Of(v);
}

Int HexOfKind(std::string_view t, FieldKind kind)
{
    if (IsNoValue(t, kind))
        return std::nullopt;
    return HexOf(t);
}

Int DecimalOrHexOfKind(std::string_view t, FieldKind kind)
{
    if (IsNoValue(t, kind))
        return std::nullopt;
    const Int v = (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) ? HexOf(t) : DecimalOf(t);
    if (!v || *v < 0)
        return std::nullopt;
    return v;
}

void SetPlmn(TRadioCell &cell, const std::pair<std::optional<int>, std::optional<int>> &plmn)
{
    cell.mcc = plmn.first;
    cell.mnc = plmn.second;
}

Number IndexValue(std::string_view t, int max, double step, double offset)
{
    // An index is never signed: "-0" is the "not measured" of a level.
    if (IsNoValue(t, FieldKind::Index) || (!t.empty() && t.front() == '-'))
        return std::nullopt;
    const Int idx = DecimalOf(t);
    if (!idx || *idx < 0 || *idx > max)
        return std::nullopt;
    return static_cast<double>(*idx) * step + offset;
}

Number RxLevelDbm(std::string_view t)
{
    const Int v = DecimalOf(t);
    if (!v || *v < -120 || *v > 63)
        return std::nullopt;
    return *v < 0 ? static_cast<double>(*v) : static_cast<double>(*v) - 111.0;
}

std::string BandNamed(const char *letter, const std::optional<std::int32_t> &number)
{
    if (!number || *number <= 0)
        return {};
    return letter + std::to_string(*number);
}

std::optional<std::int32_t> NumberAfterBand(const std::string &text)
{
    const std::size_t at = Lower(text).find("band");
    if (at == std::string::npos)
        return std::nullopt;
    return Int32Of(DecimalOf(TrimmedControl(std::string_view(text).substr(at + 4))));
}

std::string GsmBand(std::int32_t arfcn, bool pcs)
{
    if ((arfcn >= 0 && arfcn <= 124) || (arfcn >= 955 && arfcn <= 1023))
        return "900";
    if (arfcn >= 128 && arfcn <= 251)
        return "850";
    if (arfcn >= 512 && arfcn <= 810 && pcs)
        return "1900";
    if (arfcn >= 512 && arfcn <= 885)
        return "1800";
    return {};
}

std::optional<std::int32_t> NonNegative(std::int32_t v)
{
    if (v < 0)
        return std::nullopt;
    return v;
}

std::string DesignBand(std::int32_t arfcn)
{
    const std::string band = BandOfChannel(arfcn);
    return band == "?" ? std::string() : band;
}

std::optional<std::int32_t> BsicOf(std::string_view ncc, std::string_view bcc)
{
    const Int n = DecimalOf(ncc);
    const Int b = DecimalOf(bcc);
    if (!n || !b || *n < 0 || *n > 7 || *b < 0 || *b > 7)
        return std::nullopt;
    return static_cast<std::int32_t>(*n * 8 + *b);
}

void SetAnchorRat(TNetState &state, TRadioTech rat)
{
    if (state.rat != TRadioTech::Nr5gNsa)
        state.rat = rat;
}

bool HasNrLeg(const TRadioCell &cell)
{
    return cell.pci || cell.channel || cell.rsrp || cell.rsrq || cell.sinr;
}

void SetSecondaryLeg(TNetState &state, const TRadioCell &leg)
{
    state.rat = TRadioTech::Nr5gNsa;
    if (HasNrLeg(leg))
        state.secondary = leg;
}

void AppendNeighbour(TNetState &state, const TNeighbourCell &cell)
{
    if (state.neighbours.size() < kMaxNeighbourCells)
        state.neighbours.push_back(cell);
}

TRadioCell CellOfLayout(const TFields &f, std::size_t r, TRadioTech rat, const TLayout &l)
{
    static const std::string none;
    auto at = [&](int column) -> const std::string & { return column == kNone ? none : f[r + column]; };
    TRadioCell cell;
    cell.rat = rat;
    SetPlmn(cell, PlmnOf(at(l.mcc), at(l.mnc)));
    cell.area = AreaOf(at(l.area));
    cell.cellId = CellIdOf(at(l.cellId));
    cell.pci = IntegerOf(at(l.pci));
    cell.channel = IntegerOf(at(l.channel));
    if (l.band != kNone)
        cell.band = BandNamed(l.bandPrefix, IntegerOf(at(l.band)));
    cell.rssi = MeasureOf(at(l.rssi));
    cell.rsrp = MeasureOf(at(l.rsrp));
    cell.rsrq = MeasureOf(at(l.rsrq));
    cell.rscp = MeasureOf(at(l.rscp));
    cell.ecno = MeasureOf(at(l.ecno));
    return cell;
}

Number InRange(const Number &v, double low, double high)
{
    if (!v || *v < low || *v > high)
        return std::nullopt;
    return v;
}

Int HexIdentityOf(std::string_view t)
{
    const Int v = HexOfKind(t, FieldKind::CellId);
    const std::size_t first = t.find_first_not_of('0');
    if (!v || *v == 0 || (first != std::string_view::npos &&
                          Lower(t.substr(first)).find_first_not_of('f') == std::string::npos))
        return std::nullopt;
    return v;
}

TNeighbourCell Neighbour(TRadioTech rat, std::optional<std::int32_t> channel, std::optional<std::int32_t> pci)
{
    TNeighbourCell cell;
    cell.rat = rat;
    cell.channel = channel;
    cell.pci = pci;
    return cell;
}

TRadioCell LteCellAt(std::optional<std::int32_t> pci, std::optional<std::int32_t> channel)
{
    TRadioCell cell;
    cell.rat = TRadioTech::Lte;
    cell.pci = pci;
    cell.channel = channel;
    return cell;
}

std::optional<std::int32_t> DecimalIdentityOf(std::string_view t)
{
    const std::optional<std::int32_t> v = IntegerOf(t);
    if (!v || *v == 255)
        return std::nullopt;
    return v;
}

Number MeasureIn(std::string_view t, double low, double high) { return InRange(MeasureOf(t), low, high); }

Number LteRsrpDbm(std::string_view t) { return MeasureIn(t, -140, -44); }
Number LteRsrqDb(std::string_view t) { return MeasureIn(t, -20, -3); }
Number NrRsrpDbm(std::string_view t) { return MeasureIn(t, -156, -31); }
Number NrRsrqDb(std::string_view t) { return MeasureIn(t, -43, 20); }
Number NrSinrDb(std::string_view t) { return MeasureIn(t, -23, 40); }
Number PowerDbm(std::string_view t) { return MeasureIn(t, -130, 0); }

} // namespace cellfields

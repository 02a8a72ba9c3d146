#include "modems/xmm/XmmParsers.h"

#include "modems/common/CellFields.h"
#include "modems/ModemFamily.h"

using namespace cellfields;

namespace {

std::optional<std::int32_t> ChannelOf(std::string_view t) { return Int32Of(DecimalOrHexOfKind(t, FieldKind::Channel)); }

// RSSNR in half dB; 255 is unknown.
Number RssnrDb(std::string_view t)
{
    const Number v = MeasureOf(t);
    if (!v)
        return std::nullopt;
    return InRange(*v / 2.0, -20, 40);
}

Number LteRsrp(std::string_view t) { return IndexValue(t, 97, 1.0, -141.0); }
Number LteRsrq(std::string_view t) { return IndexValue(t, 34, 0.5, -20.0); }
Number UmtsRscp(std::string_view t) { return IndexValue(t, 96, 1.0, -121.0); }
Number UmtsEcno(std::string_view t) { return IndexValue(t, 49, 0.5, -24.5); }
Number GsmRxlev(std::string_view t) { return IndexValue(t, 63, 1.0, -111.0); }

// The identity every serving row starts with: MCC, MNC, area, cell id.
TRadioCell XmciIdentity(const TFields &f, TRadioTech rat)
{
    TRadioCell cell;
    cell.rat = rat;
    SetPlmn(cell, PlmnOf(f[1], f[2]));
    cell.area = DecimalOrHexOfKind(f[3], FieldKind::Area);
    cell.cellId = DecimalOrHexOfKind(f[4], FieldKind::CellId);
    return cell;
}

// One row, serving or neighbour: the same fields for both, a neighbour's
// identity being fillers.
void XmciRow(const TFields &f, TNetState &state)
{
    const Int type = DecimalOf(f[0]);
    if (!type || *type < 0 || *type > 5)
        return;
    TRadioCell cell;
    if (*type >= 4 && f.size() >= 11) {
        // LTE: ..., PCI, DL EARFCN, UL EARFCN, pathloss, RSRP, RSRQ, RSSNR, TA, CQI
        cell = XmciIdentity(f, TRadioTech::Lte);
        cell.channel = ChannelOf(f[6]);
        cell.rsrp = LteRsrp(f[9]);
        cell.rsrq = LteRsrq(f[10]);
        cell.sinr = RssnrDb(f[11]);
    } else if (*type >= 2 && *type < 4 && f.size() >= 12) {
        // UMTS: ..., PSC, DL UARFCN, UL UARFCN, pathloss, RSSI, RSCP, Ec/No
        cell = XmciIdentity(f, TRadioTech::Umts);
        cell.channel = ChannelOf(f[6]);
        cell.rscp = UmtsRscp(f[10]);
        cell.ecno = UmtsEcno(f[11]);
    } else if (*type < 2 && f.size() >= 9) {
        // GSM: ..., BSIC, RXLEV, BER, ARFCN, TA reliability, TA
        cell = XmciIdentity(f, TRadioTech::Gsm);
        cell.channel = ChannelOf(f[8]);
        if (cell.channel)
            cell.band = GsmBand(*cell.channel, false);
        cell.rssi = GsmRxlev(f[6]);
    } else {
        return;
    }
    cell.pci = ChannelOf(f[5]); // PCI, PSC or BSIC
    if (*type % 2 == 1) {
        TNeighbourCell n = Neighbour(cell.rat, cell.channel, cell.pci);
        n.rssi = cell.rssi;
        n.rsrp = cell.rsrp;
        n.rsrq = cell.rsrq;
        n.rscp = cell.rscp;
        n.ecno = cell.ecno;
        AppendNeighbour(state, n);
        return;
    }
    state.serving = cell;
    if (cell.rat == TRadioTech::Lte)
        SetAnchorRat(state, TRadioTech::Lte);
    else
        state.rat = cell.rat;
}

} // namespace

// ---------------------------------------------------------------- Intel XMM +XMCI

void parseXmciLine(const std::string &line, std::string &pending, TNetState &state)
{
    // +XMCI: 4,247,05,"0x00D5","0x0020EB17","0x01F6","0x0000071C","0x00004D6C","0xFFFFFFFF",54,26,50,"0x00000002","0x00000000"
    // +XMCI: 5,000,000,"0xFFFE","0xFFFFFFFF","0x0184","0x00009F8A","0xFFFFFFFF","0xFFFFFFFF",31,15,255,"0x7FFFFFFF","0x00000000"
    // +XMCI: 4,250,02,"0x2608","0x026D741E","0x0108","0x00000642","0x00004C92",     broken in two:
    // "0xFFFFFFFF",58,22,38,"0x00000003","0x00000000"                                 the rest
    std::string text(TrimmedControl(line));
    const bool continues = !text.empty() && (text[0] == '"' || text[0] == '-' || IsDigit(text[0]));
    if (!pending.empty() && continues)
        text = pending + text;
    pending.clear();
    const std::optional<std::string_view> body = BodyAfter(text, "+XMCI:");
    if (!body)
        return;
    if (!body->empty() && body->back() == ',' && text.size() < kMostPendingLine) {
        pending = text;
        return;
    }
    XmciRow(TFields(*body), state);
}

// ---------------------------------------------------------------- Intel XMM +XCESQ

void parseXcesqLine(const std::string &line, TNetState &state)
{
    // +XCESQ: 0,99,99,255,255,19,46,32                      LTE: rsrq -10.5, rsrp -95, snr 16 dB
    // +XCESQ: 0,99,99,255,255,26,57,50,255,255,255,255      later firmware: four NR fields, unknown here
    const std::optional<std::string_view> body = BodyAfter(line, "+XCESQ:");
    if (!body)
        return;
    const TFields f(*body);
    if (f.size() < 8)
        return;
    const Number rsrp = LteRsrp(f[6]);
    const Number rsrq = LteRsrq(f[5]);
    const Number snr = RssnrDb(f[7]);
    const Number rscp = UmtsRscp(f[3]);
    const Number ecno = UmtsEcno(f[4]);
    const Number rxlev = GsmRxlev(f[1]);
    const auto fill = [](std::optional<double> &slot, const Number &v) {
        if (!slot)
            slot = v;
    };
    TRadioTech rat = TRadioTech::Unknown;
    if (rsrp || rsrq)
        rat = TRadioTech::Lte;
    else if (rscp || ecno)
        rat = TRadioTech::Umts;
    else if (rxlev)
        rat = TRadioTech::Gsm;
    if (rat == TRadioTech::Unknown)
        return;
    if (!state.serving) {
        state.serving = TRadioCell{};
        state.serving->rat = rat;
        if (state.rat == TRadioTech::Unknown)
            state.rat = rat;
    }
    TRadioCell &cell = *state.serving;
    if (cell.rat != rat)
        return; // +XMCI's serving cell is of another technology: its own measures stand
    if (rat == TRadioTech::Lte) {
        fill(cell.rsrp, rsrp);
        fill(cell.rsrq, rsrq);
        fill(cell.sinr, snr);
    } else if (rat == TRadioTech::Umts) {
        fill(cell.rscp, rscp);
        fill(cell.ecno, ecno);
    } else {
        fill(cell.rssi, rxlev);
    }
}

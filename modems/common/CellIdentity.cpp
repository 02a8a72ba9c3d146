#include "modems/common/CellIdentity.h"

namespace {

constexpr int kLteCellIdBits = 28;
constexpr int kLteSectorBits = 8;
constexpr int kNrCellIdBits = 36;

bool Fits(std::int64_t value, int bits) { return value >= 0 && value < (std::int64_t{1} << bits); }

bool ValidGnbIdBits(int bits) { return bits >= kMinGnbIdBits && bits <= kMaxGnbIdBits; }

} // namespace

std::optional<std::int64_t> LteEnbId(std::int64_t cellId)
{
    if (!Fits(cellId, kLteCellIdBits))
        return std::nullopt;
    return cellId >> kLteSectorBits;
}

std::optional<std::int32_t> LteSector(std::int64_t cellId)
{
    if (!Fits(cellId, kLteCellIdBits))
        return std::nullopt;
    return static_cast<std::int32_t>(cellId & ((1 << kLteSectorBits) - 1));
}

std::optional<std::int64_t> NrGnbId(std::int64_t cellId, int gnbIdBits)
{
    if (!Fits(cellId, kNrCellIdBits) || !ValidGnbIdBits(gnbIdBits))
        return std::nullopt;
    return cellId >> (kNrCellIdBits - gnbIdBits);
}

std::optional<std::int64_t> NrCellOfGnb(std::int64_t cellId, int gnbIdBits)
{
    if (!Fits(cellId, kNrCellIdBits) || !ValidGnbIdBits(gnbIdBits))
        return std::nullopt;
    return cellId & ((std::int64_t{1} << (kNrCellIdBits - gnbIdBits)) - 1);
}

TCellParts CellPartsOf(const TRadioCell &cell, int gnbIdBits)
{
    TCellParts parts;
    if (!cell.cellId)
        return parts;
    switch (cell.rat) {
    case TRadioTech::Lte:
    case TRadioTech::LteM:
    case TRadioTech::NbIot:
        parts.enbId = LteEnbId(*cell.cellId);
        parts.sector = LteSector(*cell.cellId);
        break;
    case TRadioTech::Nr5gNsa:
    case TRadioTech::Nr5gSa:
        parts.gnbId = NrGnbId(*cell.cellId, gnbIdBits);
        parts.nrCell = NrCellOfGnb(*cell.cellId, gnbIdBits);
        break;
    case TRadioTech::Unknown:
    case TRadioTech::Gsm:
    case TRadioTech::Umts: break;
    }
    return parts;
}

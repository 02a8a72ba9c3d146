#pragma once
// Colours travel through the API as 32-bit 0x00BBGGRR values; widgets convert
// them only at the painter.

#include <QColor>
#include <cstdint>

class QComboBox;

inline QColor RynToQColor(std::uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

inline std::uint32_t RynFromQColor(const QColor &c)
{
    return std::uint32_t(c.red()) | (std::uint32_t(c.green()) << 8) | (std::uint32_t(c.blue()) << 16);
}

// Sets the combo box's font colour when it differs, keeping its text and
// selection exactly as they were. A null combo box is ignored.
void SetComboColor(QComboBox *combo, std::uint32_t bgr);

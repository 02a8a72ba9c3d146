#include "ElidedLabel.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <QShowEvent>

#include <algorithm>

TElidedLabel::TElidedLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
    , m_fullText(text)
{
}

void TElidedLabel::SetFullText(const QString &text)
{
    if (text == m_fullText)
        return;
    m_fullText = text;
    updateGeometry();
    Elide();
}

void TElidedLabel::SetPlainToolTip(const QString &tip)
{
    m_plainToolTip = tip;
    Elide();
}

QSize TElidedLabel::minimumSizeHint() const
{
    return {minimumWidth(), QLabel::minimumSizeHint().height()};
}

QSize TElidedLabel::sizeHint() const
{
    // The whole text's width, whatever is shown now.
    const QMargins m = contentsMargins();
    const int width = fontMetrics().horizontalAdvance(m_fullText) + m.left() + m.right() + 2 * margin() + 4;
    return {std::max(width, minimumWidth()), QLabel::sizeHint().height()};
}

void TElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    Elide();
}

void TElidedLabel::showEvent(QShowEvent *event)
{
    QLabel::showEvent(event);
    Elide();
}

void TElidedLabel::Elide()
{
    // A hidden panel has not been laid out yet: its width says nothing.
    const int room = isVisible() ? contentsRect().width() - 2 * margin() - 2 : QWIDGETSIZE_MAX;
    const QString shown =
        room == QWIDGETSIZE_MAX ? m_fullText : fontMetrics().elidedText(m_fullText, Qt::ElideRight, std::max(room, 0));
    if (shown != text())
        setText(shown);
    setToolTip(shown != m_fullText ? m_fullText : m_plainToolTip);
}

#pragma once
// A status bar panel whose text is cut with "…" when the panel is narrower
// than the text, the whole text then shown as the tooltip. It asks for no
// more width than its minimum, so a long text never widens the window.

#include <QLabel>

class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit TElidedLabel(const QString &text, QWidget *parent = nullptr);

    void SetFullText(const QString &text);
    QString FullText() const { return m_fullText; }
    // The tooltip while the whole text fits.
    void SetPlainToolTip(const QString &tip);
    bool Elided() const { return text() != m_fullText; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Elide();

    QString m_fullText;
    QString m_plainToolTip;
};

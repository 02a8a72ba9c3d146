#include "PointingView.h"

#include "PointingTone.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>

#include <cmath>

namespace {

QLabel *Figure(QWidget *parent, int pixelSize, bool bold, const QColor &color)
{
    auto *label = new QLabel(parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

} // namespace

QString PointingText(std::optional<double> value, const std::string &unit)
{
    if (!value)
        return QStringLiteral("?");
    // Whole units where the modem gives whole units, one decimal otherwise.
    const double rounded = std::round(*value * 10) / 10;
    const QString number = rounded == std::round(rounded) ? QString::number(std::lround(rounded))
                                                           : QString::number(rounded, 'f', 1);
    return number + QLatin1Char(' ') + QString::fromStdString(unit);
}

TPointingView::TPointingView(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("pointingView"));
    setWindowTitle(QStringLiteral("Antenna pointing"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    resize(820, 520);

    const QColor bright(0x40, 0xff, 0x40);
    const QColor soft(0xc0, 0xc0, 0xc0);
    auto *grid = new QGridLayout(this);
    m_mainName = Figure(this, 36, false, soft);
    m_mainValue = Figure(this, 150, true, bright);
    m_mainTrend = Figure(this, 110, true, bright);
    m_mainBest = Figure(this, 34, false, soft);
    m_secondName = Figure(this, 28, false, soft);
    m_secondValue = Figure(this, 90, true, Qt::white);
    m_secondTrend = Figure(this, 70, true, Qt::white);
    m_secondBest = Figure(this, 28, false, soft);
    m_mainValue->setObjectName(QStringLiteral("pointingMainValue"));
    m_mainBest->setObjectName(QStringLiteral("pointingMainBest"));
    grid->addWidget(m_mainName, 0, 0, 1, 2);
    grid->addWidget(m_mainValue, 1, 0);
    grid->addWidget(m_mainTrend, 1, 1, Qt::AlignCenter);
    grid->addWidget(m_mainBest, 2, 0, 1, 2);
    grid->addWidget(m_secondName, 3, 0, 1, 2);
    grid->addWidget(m_secondValue, 4, 0);
    grid->addWidget(m_secondTrend, 4, 1, Qt::AlignCenter);
    grid->addWidget(m_secondBest, 5, 0, 1, 2);
    auto *hint = Figure(this, 16, false, soft);
    hint->setText(QStringLiteral("Poll cycle shortened to the signal and serving cell. Esc leaves the pointing mode."));
    grid->addWidget(hint, 6, 0, 1, 2);
    m_tone = new TPointingTone(this);
    m_toneBox = new QCheckBox(QStringLiteral("Tone (T): its pitch follows the main figure"),
                              this);
    m_toneBox->setObjectName(QStringLiteral("pointingTone"));
    m_toneBox->setPalette(hint->palette());
    m_toneBox->setFocusPolicy(Qt::NoFocus); // Esc and T stay with the window
    connect(m_toneBox, &QCheckBox::toggled, this, [this] { ApplyTone(); });
    m_toneProblem = Figure(this, 16, false, soft);
    auto *toneRow = new QHBoxLayout;
    toneRow->addWidget(m_toneBox);
    toneRow->addWidget(m_toneProblem, 1);
    grid->addLayout(toneRow, 7, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    ShowFigures();
}

void TPointingView::Enter()
{
    m_main.Reset();
    m_second.Reset();
    ShowFigures();
    show();
    raise();
    activateWindow();
}

void TPointingView::AddRecord(const TNetState &record, std::int64_t timeMs)
{
    m_main.Add(timeMs, PointingMain(record));
    m_second.Add(timeMs, PointingSecond(record));
    m_tone->SetValue(m_main.Current());
    if (isVisible())
        ShowFigures();
}

void TPointingView::ShowFigures()
{
    const auto show = [](const PointingTracker &tracker, QLabel *name, QLabel *value, QLabel *trend, QLabel *best,
                         const char *defaultName) {
        const TPointingValue &current = tracker.Current();
        name->setText(current.name.empty() ? QString::fromLatin1(defaultName) : QString::fromStdString(current.name));
        value->setText(PointingText(current.value, current.unit));
        trend->setText(QString::fromUtf8(TrendArrow(tracker.Trend())));
        best->setText(QStringLiteral("best ") + PointingText(tracker.Best(), current.unit));
    };
    show(m_main, m_mainName, m_mainValue, m_mainTrend, m_mainBest, "RSRP");
    show(m_second, m_secondName, m_secondValue, m_secondTrend, m_secondBest, "SINR");
}

void TPointingView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_T) {
        m_toneBox->toggle();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TPointingView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    ApplyTone();
    emit ModeChanged(true);
}

// The tone sounds while the mode is on and its box is checked.
void TPointingView::ApplyTone()
{
    m_tone->SetOn(m_toneBox->isChecked() && isVisible());
    m_toneProblem->setText(m_tone->Problem().isEmpty() ? QString() : QStringLiteral("(%1)").arg(m_tone->Problem()));
}

void TPointingView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    ApplyTone();
    emit ModeChanged(false);
}

#include "VRynTerminal.h"

#include "RynColor.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QShowEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace {

// Readable on the white background the view always has.
constexpr std::uint32_t kDefaultColors[] = {
    0x00800000, // received text: navy
    0x00808000, // received hex: teal
    0x00808080, // info: grey
    0x000000D0, // error: red
    0x000080C0, // warning: amber
    0x00008000, // sent commands: green
    0x00000000, // session texts and received lines: black
};
constexpr int kLineTypeCount = int(std::size(kDefaultColors));

// A line longer than the screen takes is cut, with the count of what is left out.
QString CutForScreen(const QString &text)
{
    if (text.size() <= kTerminalMaxShownLineLength)
        return text;
    qsizetype cut = kTerminalMaxShownLineLength;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QStringLiteral(" ... (%1 more characters)").arg(text.size() - cut);
}

} // namespace

VRynTerminal::VRynTerminal(QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_colors(std::begin(kDefaultColors), std::end(kDefaultColors)),
      m_logFile(DefaultLogFile())
{
    // A helper window: it neither keeps the application running nor ends it.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Terminal"));
    resize(640, 320);

    m_view = new QPlainTextEdit(this);
    m_view->setObjectName(QStringLiteral("view"));
    m_view->setReadOnly(true);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap); // one line per scroll step
    m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_view->document()->setUndoRedoEnabled(false);
    m_view->setMaximumBlockCount(m_maxLines);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    m_view->setPalette(palette);
    connect(m_view, &QWidget::customContextMenuRequested, this, &VRynTerminal::showContextMenu);

    m_command = new QLineEdit(this);
    m_command->setObjectName(QStringLiteral("command"));
    m_command->setFont(m_view->font());
    m_command->setPlaceholderText(QStringLiteral("Command; Enter sends it with CR, Up and Down recall earlier ones"));
    m_command->installEventFilter(this);
    connect(m_command, &QLineEdit::returnPressed, this, &VRynTerminal::sendCommand);

    m_clearAction = new QAction(QStringLiteral("Clear"), this);
    m_clearAction->setObjectName(QStringLiteral("clearAction"));
    connect(m_clearAction, &QAction::triggered, this, &VRynTerminal::Clear);

    m_logAction = new QAction(QStringLiteral("Log to file"), this);
    m_logAction->setObjectName(QStringLiteral("logAction"));
    m_logAction->setCheckable(true);
    connect(m_logAction, &QAction::triggered, this, &VRynTerminal::SetLogging);

    m_pauseAction = new QAction(QStringLiteral("Pause"), this);
    m_pauseAction->setObjectName(QStringLiteral("pauseAction"));
    m_pauseAction->setCheckable(true);
    m_pauseAction->setToolTip(QStringLiteral("Freeze the view; lines are still collected and logged"));
    connect(m_pauseAction, &QAction::triggered, this, &VRynTerminal::SetPaused);

    auto *clearButton = new QToolButton(this);
    clearButton->setDefaultAction(m_clearAction);
    auto *pauseButton = new QToolButton(this);
    pauseButton->setDefaultAction(m_pauseAction);
    m_logButton = new QToolButton(this);
    m_logButton->setDefaultAction(m_logAction);

    m_commandRow = new QHBoxLayout;
    m_commandRow->addWidget(m_command, 1);
    m_commandRow->addWidget(pauseButton);
    m_commandRow->addWidget(clearButton);
    m_commandRow->addWidget(m_logButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_view, 1);
    layout->addLayout(m_commandRow);
    setFocusProxy(m_command);

    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(kTerminalFlushInterval);
    connect(m_flushTimer, &QTimer::timeout, this, &VRynTerminal::Flush);

    updateLogAction();
}

VRynTerminal::~VRynTerminal() = default;

void VRynTerminal::AddToolAction(QAction *action)
{
    auto *button = new QToolButton(this);
    button->setDefaultAction(action);
    m_commandRow->insertWidget(1, button);
}

void VRynTerminal::AddLine(const QString &text, int lineType)
{
    addSafeLine(VRynSafeText(text), lineType);
}

void VRynTerminal::AddLine(const std::string &text, int lineType)
{
    addSafeLine(VRynSafeText(text), lineType);
}

void VRynTerminal::addSafeLine(const QString &safeText, int lineType)
{
    const QDateTime now = m_clock.Now();
    QString logError;
    if (m_logger.isOpen() && !m_logger.write(safeText, lineType, now)) {
        // Reported once: logging goes off instead of failing on every line.
        logError = m_logger.errorText() + QStringLiteral("; logging stopped");
        m_logger.close();
    }

    queueLine(safeText, lineType, now);
    if (!logError.isEmpty()) {
        queueLine(VRynSafeText(logError), VRynTerminal_ltError, now);
        updateLogAction();
    }

    // A hidden terminal only collects: its document is brought up to date
    // when it is shown, not every flush interval of a monitor left running.
    if (!m_paused && isVisible() && !m_flushTimer->isActive())
        m_flushTimer->start();
}

VRynTerminal::PendingLine VRynTerminal::pendingLine(const QString &text, int lineType, const QDateTime &time) const
{
    // The stamp is kept, not written: a line that drops out before it is
    // shown (a hidden terminal keeps only the newest MaxLines) costs no text.
    return {text, lineType, m_showOptions.testFlag(vrtsoShowTimes) ? time.time() : QTime()};
}

QString VRynTerminal::screenLine(const PendingLine &line)
{
    if (!line.stamp.isValid())
        return line.text;
    return line.stamp.toString(Qt::ISODateWithMs) + QStringLiteral("  ") + line.text;
}

void VRynTerminal::queueLine(const QString &text, int lineType, const QDateTime &time)
{
    const QString shown = CutForScreen(text);
    m_pending.push_back(pendingLine(shown, lineType, time));
    dropOverflow();
    if (lineType == VRynTerminal_ltError || lineType == VRynTerminal_ltWarning)
        emit ProblemLineAdded(shown, lineType);
}

void VRynTerminal::dropOverflow()
{
    while (m_pending.size() > std::size_t(m_maxLines)) {
        m_pending.pop_front();
        if (m_paused)
            ++m_skippedWhilePaused;
    }
}

void VRynTerminal::Flush()
{
    m_flushTimer->stop();
    if (m_paused || m_pending.empty())
        return;

    QScrollBar *bar = m_view->verticalScrollBar();
    const int oldValue = bar->value();
    const bool atBottom = oldValue >= bar->maximum();
    QTextDocument *document = m_view->document();
    const int blocksBefore = document->blockCount();
    int blocksAdded = 0;

    // A cursor of our own: the view's cursor, and so the user's selection,
    // stays where it is.
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (const PendingLine &line : m_pending) {
        if (m_hasLines) {
            cursor.insertBlock();
            ++blocksAdded;
        }
        QTextCharFormat format;
        format.setForeground(RynToQColor(LineColor(line.lineType)));
        cursor.insertText(screenLine(line), format);
        m_hasLines = true;
    }
    cursor.endEditBlock(); // drops the blocks beyond the maximum count
    m_pending.clear();

    if (atBottom) {
        bar->setValue(bar->maximum());
    } else {
        // Keep the lines the user is reading in place while older ones go.
        const int removed = blocksBefore + blocksAdded - document->blockCount();
        bar->setValue(std::max(0, oldValue - removed));
    }
}

void VRynTerminal::Clear()
{
    m_pending.clear();
    m_skippedWhilePaused = 0;
    m_flushTimer->stop();
    m_view->clear();
    m_hasLines = false;
}

void VRynTerminal::SetPaused(bool on)
{
    m_pauseAction->setChecked(on);
    if (on == m_paused)
        return;
    m_paused = on;
    // The button says so while the view is frozen: a checked tool button
    // alone is easy to miss in many styles.
    m_pauseAction->setText(on ? QStringLiteral("Paused") : QStringLiteral("Pause"));
    if (on)
        return;
    if (m_skippedWhilePaused > 0) {
        // The note goes first and keeps its place within MaxLines.
        while (!m_pending.empty() && m_pending.size() >= std::size_t(m_maxLines)) {
            m_pending.pop_front();
            ++m_skippedWhilePaused;
        }
        const QString note = QStringLiteral("%1 lines received during the pause are not shown").arg(m_skippedWhilePaused);
        m_pending.push_front(pendingLine(note, VRynTerminal_ltInfo, m_clock.Now()));
        m_skippedWhilePaused = 0;
    }
    Flush();
}

QString VRynTerminal::Caption() const
{
    return windowTitle();
}

void VRynTerminal::SetCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void VRynTerminal::SetMaxLines(int lines)
{
    m_maxLines = std::max(1, lines);
    m_view->setMaximumBlockCount(m_maxLines);
    dropOverflow();
}

std::uint32_t VRynTerminal::LineColor(int lineType) const
{
    if (lineType < 0 || lineType >= kLineTypeCount)
        lineType = VRynTerminal_ltInText;
    return m_colors[std::size_t(lineType)];
}

void VRynTerminal::SetLineColor(int lineType, std::uint32_t bgr)
{
    if (lineType >= 0 && lineType < kLineTypeCount)
        m_colors[std::size_t(lineType)] = bgr & 0x00FFFFFF;
}

QString VRynTerminal::DefaultLogFile()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/Palvex/terminal.log");
}

void VRynTerminal::SetLogFile(const QString &path)
{
    const QString file = path.isEmpty() ? DefaultLogFile() : path;
    if (file == m_logFile)
        return;
    const bool wasLogging = IsLogging();
    if (wasLogging)
        SetLogging(false);
    m_logFile = file;
    updateLogAction();
    if (wasLogging)
        SetLogging(true);
}

void VRynTerminal::SetLogging(bool on)
{
    if (on == IsLogging()) {
        updateLogAction();
        return;
    }
    const QString shownPath = QDir::toNativeSeparators(m_logFile);
    if (on) {
        const VRynLoggerResult result = m_logger.open(m_logFile, m_loggerOpenFlags);
        if (result.ok)
            addSafeLine(VRynSafeText(QStringLiteral("Logging to ") + shownPath), VRynTerminal_ltInfo);
        else
            addSafeLine(VRynSafeText(result.errorText), VRynTerminal_ltError);
    } else {
        // Written to the log too, so the file shows where it stops.
        addSafeLine(VRynSafeText(QStringLiteral("Logging to ") + shownPath + QStringLiteral(" stopped")),
                    VRynTerminal_ltInfo);
        m_logger.close();
    }
    updateLogAction();
}

void VRynTerminal::updateLogAction()
{
    const bool on = IsLogging();
    m_logAction->setChecked(on);
    m_logAction->setToolTip(QStringLiteral("Write every line to %1").arg(QDir::toNativeSeparators(m_logFile)));
    if (on == m_loggingShown)
        return;
    m_loggingShown = on;
    emit LoggingChanged(on);
}

void VRynTerminal::sendCommand()
{
    const QString text = m_command->text();
    if (!text.isEmpty() && (m_history.isEmpty() || m_history.constLast() != text)) {
        m_history.append(text);
        while (m_history.size() > kTerminalMaxHistory)
            m_history.removeFirst();
    }
    m_historyIndex = -1;
    m_draft.clear();
    m_command->clear();

    if (!m_onTermSendData) {
        addSafeLine(VRynSafeText(QStringLiteral("Not sent, nothing is connected: ") + text), VRynTerminal_ltWarning);
        return;
    }
    const QByteArray data = text.toUtf8() + '\r';
    // Called from Qt's event loop: nothing may escape from here.
    try {
        m_onTermSendData(this, reinterpret_cast<const std::uint8_t *>(data.constData()), std::size_t(data.size()));
    } catch (const std::exception &e) {
        addSafeLine(VRynSafeText(QStringLiteral("Sending failed: ") + QString::fromUtf8(e.what())),
                    VRynTerminal_ltError);
    } catch (...) {
        addSafeLine(QStringLiteral("Sending failed"), VRynTerminal_ltError);
    }
}

void VRynTerminal::recallHistory(int step)
{
    if (m_history.isEmpty())
        return;
    const int last = int(m_history.size()) - 1;
    if (step < 0) {
        if (m_historyIndex == -1) {
            m_draft = m_command->text();
            m_historyIndex = last;
        } else if (m_historyIndex > 0) {
            --m_historyIndex;
        } else {
            return;
        }
    } else {
        if (m_historyIndex == -1)
            return;
        if (m_historyIndex == last) {
            m_historyIndex = -1;
            m_command->setText(m_draft);
            return;
        }
        ++m_historyIndex;
    }
    m_command->setText(m_history.at(m_historyIndex));
}

bool VRynTerminal::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_command && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            recallHistory(key == Qt::Key_Up ? -1 : 1);
            return true;
        }
        // Esc puts the window away as a dialog's does (its close action).
        if (key == Qt::Key_Escape) {
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void VRynTerminal::showContextMenu(const QPoint &position)
{
    QMenu *menu = m_view->createStandardContextMenu();
    menu->addSeparator();
    menu->addAction(m_pauseAction);
    menu->addAction(m_clearAction);
    menu->addAction(m_logAction);
    menu->exec(m_view->viewport()->mapToGlobal(position));
    delete menu;
}

void VRynTerminal::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Before the first paint, so the window opens with every line in it.
    Flush();
}

void VRynTerminal::closeEvent(QCloseEvent *event)
{
    switch (m_closeAction) {
    case trmcaNone:
        event->ignore();
        return;
    case trmcaHide:
        event->accept(); // a plain close only hides the window
        return;
    case trmcaFree:
        event->accept();
        deleteLater();
        return;
    }
    event->accept();
}

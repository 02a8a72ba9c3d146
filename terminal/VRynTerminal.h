#pragma once
// The debug terminal: a window of its own that shows the lines sent to and
// received from the modem, each in the colour of its line type, and a command
// line whose text is sent (with a CR) through OnTermSendData.
//
// Lines are collected and put on screen together every kTerminalFlushInterval,
// so a burst of answers costs one document update; while the terminal is
// hidden they are only collected, and go on screen when it is shown. The screen keeps at most
// MaxLines lines, dropping the oldest, and no line longer than
// kTerminalMaxShownLineLength characters: days of polling stay in bounded
// memory. When logging is on, VRynLogger writes every line to the log file at
// once, in full, before it reaches the screen.
//
// Pause freezes the screen so a fast stream can be read: lines are still
// collected (the newest MaxLines of them) and logged, and the screen catches
// up when the pause ends.

#include "VRynLogger.h"
#include "VRynTerminalLineType.h"

#include <QFlags>
#include <QStringList>
#include <QTime>
#include <QWidget>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <string>
#include <vector>

class QAction;
class QHBoxLayout;
class QDateTime;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class QToolButton;

// What closing the window does.
enum VRynTerminalCloseAction {
    trmcaNone, // the window stays open
    trmcaHide, // the window is hidden and keeps its lines
    trmcaFree, // the window is destroyed (deleteLater); hold it in a QPointer
};

enum VRynTerminalShowOption : unsigned {
    vrtsoShowTimes = 0x1, // each line starts with the time it was added
};
Q_DECLARE_FLAGS(VRynTerminalShowOptions, VRynTerminalShowOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(VRynTerminalShowOptions)

inline constexpr std::chrono::milliseconds kTerminalFlushInterval{50};
inline constexpr int kTerminalDefaultMaxLines = 5000;
inline constexpr int kTerminalMaxShownLineLength = 4096;
inline constexpr int kTerminalMaxHistory = 100;

class VRynTerminal : public QWidget {
    Q_OBJECT
public:
    using TermSendDataProc =
        std::function<void(VRynTerminal *Sender, const std::uint8_t *data, std::size_t count)>;

    // With a parent the terminal is still a window of its own; the parent owns
    // it and does not wait for it when the application quits.
    explicit VRynTerminal(QWidget *parent = nullptr);
    ~VRynTerminal() override;

    // Adds a line of the given type (VRynTerminalLineType); GUI thread only.
    // Control characters and invalid bytes are shown escaped (VRynSafeText).
    void AddLine(const QString &text, int lineType);
    // Bytes taken as UTF-8.
    void AddLine(const std::string &text, int lineType);
    // A literal, UTF-8 (so AddLine("machine: INIT", ...) is not ambiguous).
    void AddLine(const char *text, int lineType) { AddLine(std::string(text ? text : ""), lineType); }
    // Puts the collected lines on screen now instead of at the next tick.
    void Flush();
    // Removes every line from the screen (not from the log).
    void Clear();

    // Called on the GUI thread with the typed text, UTF-8, plus CR when Enter is
    // pressed in the command line. An exception it throws is shown as an error
    // line.
    void SetOnTermSendData(TermSendDataProc handler) { m_onTermSendData = std::move(handler); }

    QString Caption() const;
    void SetCaption(const QString &caption);

    VRynTerminalCloseAction CloseAction() const { return m_closeAction; }
    void SetCloseAction(VRynTerminalCloseAction action) { m_closeAction = action; }

    // Applies to lines added from now on.
    VRynTerminalShowOptions ShowOptions() const { return m_showOptions; }
    void SetShowOptions(VRynTerminalShowOptions options) { m_showOptions = options; }

    // Kept for the owner; the terminal does not interpret it.
    int ModeIndex() const { return m_modeIndex; }
    void SetModeIndex(int index) { m_modeIndex = index; }

    // At least 1; the oldest lines go first.
    int MaxLines() const { return m_maxLines; }
    void SetMaxLines(int lines);

    // 0x00BBGGRR colour of a line type; an unknown type is shown as received text.
    std::uint32_t LineColor(int lineType) const;
    void SetLineColor(int lineType, std::uint32_t bgr);

    // Logging. The log file defaults to DefaultLogFile(); switching logging on
    // opens it with LoggerOpenFlags (VRynLoggerOpenFlag, default vrloAppend) and
    // says in the terminal where it writes, or shows why it cannot.
    VRynLogger &Logger() { return m_logger; }
    const VRynLogger &Logger() const { return m_logger; }
    QString LogFile() const { return m_logFile; }
    void SetLogFile(const QString &path); // reopens when logging is on
    std::uint32_t LoggerOpenFlags() const { return m_loggerOpenFlags; }
    void SetLoggerOpenFlags(std::uint32_t flags) { m_loggerOpenFlags = flags; }
    bool IsLogging() const { return m_logger.isOpen(); }
    // LoggingChanged follows, whatever switched it (this call, the "Log to
    // file" button, a write that failed).
    void SetLogging(bool on);
    // <generic data folder>/Palvex/terminal.log, e.g. ~/.local/share/Palvex/terminal.log.
    static QString DefaultLogFile();

    // The "Pause" button: while paused, Flush leaves the screen as it is.
    bool IsPaused() const { return m_paused; }
    void SetPaused(bool on);
    // Lines collected while paused that will not reach the screen: more than
    // MaxLines arrived and the oldest went (a log that is on has them all).
    // When the pause ends, a line says how many.
    std::size_t SkippedWhilePaused() const { return m_skippedWhilePaused; }

    // A button for action beside the command line, before "Pause": an
    // owner's control of what the typed commands meet.
    void AddToolAction(QAction *action);

    // The typed commands, oldest first; at most kTerminalMaxHistory.
    QStringList History() const { return m_history; }

signals:
    // Logging went on or off.
    void LoggingChanged(bool on);
    // An error or warning line was added (VRynTerminal_ltError or
    // VRynTerminal_ltWarning), as shown, without the time.
    void ProblemLineAdded(const QString &text, int lineType);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void addSafeLine(const QString &safeText, int lineType);
    void sendCommand();
    void recallHistory(int step);
    void showContextMenu(const QPoint &position);
    void updateLogAction();
    void queueLine(const QString &text, int lineType, const QDateTime &time);
    // A line waiting for the screen, with the time it was added when times
    // are shown (an invalid time when not).
    struct PendingLine {
        QString text;
        int lineType = 0;
        QTime stamp;
    };
    PendingLine pendingLine(const QString &text, int lineType, const QDateTime &time) const;
    static QString screenLine(const PendingLine &line); // the text as the screen shows it
    void dropOverflow();

    QPlainTextEdit *m_view = nullptr;
    QLineEdit *m_command = nullptr;
    QToolButton *m_logButton = nullptr;
    QAction *m_clearAction = nullptr;
    QAction *m_logAction = nullptr;
    QAction *m_pauseAction = nullptr;
    QHBoxLayout *m_commandRow = nullptr;
    QTimer *m_flushTimer = nullptr;

    // Lines not yet on screen (shown text, line type); never more than m_maxLines.
    std::deque<PendingLine> m_pending;
    bool m_hasLines = false; // the document's first block holds a line
    bool m_paused = false;
    std::size_t m_skippedWhilePaused = 0;
    VRynLocalClock m_clock;
    bool m_loggingShown = false; // the state LoggingChanged last reported

    TermSendDataProc m_onTermSendData;
    VRynTerminalCloseAction m_closeAction = trmcaHide;
    VRynTerminalShowOptions m_showOptions = vrtsoShowTimes;
    int m_modeIndex = -1;
    int m_maxLines = kTerminalDefaultMaxLines;
    std::vector<std::uint32_t> m_colors;

    // m_historyIndex is -1 while the user edits a new line (kept in m_draft),
    // otherwise the index in m_history of the command shown.
    QStringList m_history;
    int m_historyIndex = -1;
    QString m_draft;

    VRynLogger m_logger;
    QString m_logFile;
    std::uint32_t m_loggerOpenFlags = vrloAppend;
};

#pragma once
// The main window: the connection group with the port combo box, the signal
// graph, the update speed, the cell grid, the operator switch, the status
// bar and the menus. It owns the serial channel, the top distributor with
// its 50 ms timer, the debug terminal and the modem session, and shows the
// session's display record at the chosen update speed.

#include "ElidedLabel.h"
#include "MeasurementDisplay.h"
#include "ModemSession.h"
#include "OperatorTable.h"
#include "RecordLog.h"
#include "RynRecording.h"

#include <QComboBox>
#include <QProgressDialog>
#include <QMainWindow>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QActionGroup;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QTableWidget;
class QTimer;
class QVBoxLayout;
class TfrmAbout;
class TPointingView;
class TEventList;
class TGpsStatus;
class TEventNotifier;
class PositionSource;
class TRadioView;
class TVRSComm32;
class TzefXPGraph;
class VRynAppInfo;
class VRynTerminal;
class VRynTopDistributor;

// The port combo box: editable, raises DropDown before its list opens and
// PortCommitted when the user picks an item from the list or presses Enter
// in the text, not on every keystroke.
class TPortComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TPortComboBox(QWidget *parent = nullptr);
    void showPopup() override;

signals:
    void DropDown();
    void PortCommitted();

private:
    bool m_commitPending = false;
};

class TfrmMain : public QMainWindow, public ModemSessionView {
    Q_OBJECT
public:
    // Update speeds of the menu: the display refreshes twelve times per named time.
    struct UpdateSpeed {
        const char *item;
        std::chrono::milliseconds period;
        const char *label;
    };
    static const std::array<UpdateSpeed, 5> kUpdateSpeeds;
    static constexpr int kDefaultUpdateSpeed = 1; // "3 seconds"
    static constexpr std::chrono::milliseconds kDesignedShowPeriod{417};

    // Row height of the grid: |round(points x pixels per inch / 72 x 1.3)| + 1.
    static int GridRowHeight(double pointSize, double pixelsPerInch);

    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // A port given on the command line; it replaces the stored one at start
    // and is not stored.
    void SetCommandLinePort(const QString &port) { m_commandLinePort = port; }
    void SetAboutBox(TfrmAbout *about) { m_about = about; }
    // --gps: positions for the records and the status bar from source
    // (gpsd, an NMEA port), or from the modem's own GNSS, asked with each
    // poll cycle.
    void SetPositionSource(std::unique_ptr<PositionSource> source);
    void SetModemGnss(bool on);

    // ModemSessionView: the session's events in the window's texts, colours
    // and panels.
    std::string PortText() const override;
    void TerminalLine(const std::string &line, int lineType) override;
    void PortOpening(const std::string &port) override;
    void PortOpened(const std::string &port) override;
    void PortOpenFailed(const std::string &port, const std::string &reason) override;
    void ChannelLost() override;
    void ChannelStateChanged(TCommState state) override;
    void ModemIdentified(const std::string &manufacturer, const std::string &model) override;
    void IdentityRead(const ModemIdentity &identity) override;
    void CycleStarted() override;
    void MainAnswerTimedOut() override;
    void OperatorSwitchDone() override;
    void OperatorRequestRefused(const std::string &reason) override;
    void IncomingCall(const std::string &number) override;
    void CallAnswered() override { m_events.CallAnswered(); }
    void PollingHeldChanged(bool held) override;
    void CycleCompleted(const CompletedCycle &cycle) override;
    void ScanStarted(std::chrono::milliseconds timeout) override;
    void ScanFinished(const OperatorScanResult &result) override;

    // A poll cycle's display record, for a record log: called after each
    // completed cycle, under the record lock.
    void SetOnCycleCompleted(std::function<void(const TNetState &)> handler)
    {
        m_onCycleCompleted = std::move(handler);
    }

    // The record log: one line per completed poll cycle (JSON lines, or CSV
    // for a file ending in .csv), appended and flushed. False, with the
    // reason in the terminal, when the file cannot be opened.
    bool StartRecordLog(const QString &path);
    void StopRecordLog();
    const RecordLog &RecordLogFile() const { return m_recordLog; }

    // The session recording (File/Record session…): everything that passes
    // on the port, to be replayed as replay:FILE. False, with the reason in
    // the terminal, when the file cannot be written.
    bool StartSessionRecording(const QString &path);
    void StopSessionRecording();
    bool SessionRecording() const { return m_sessionRecorder.IsOpen(); }
    // Plays a recording as the port (File/Open recording…); it is not
    // stored as the last port.
    void OpenRecording(const QString &path);

    // Where Help/Content looks for the user guide: doc/index.html next to
    // the program, in the installed share folder, then in the source tree.
    static QStringList HelpPageCandidates();
    static QString FindHelpPage();

    // Components, named as in the design; exposed for tests.
    QGroupBox *GroupBox1 = nullptr;
    TPortComboBox *cmbPort = nullptr;
    QPushButton *btnPortParameters = nullptr;
    QPushButton *btnShowTerm = nullptr;
    QLabel *lblConnection = nullptr;
    TzefXPGraph *zefXPGraph1 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *lblSpeed = nullptr;
    QTableWidget *sgrResult = nullptr;
    QGroupBox *rgpOperators = nullptr;
    QButtonGroup *rgpOperatorsButtons = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    std::array<TElidedLabel *, 3> StatusPanels{};
    // The fix of the configured GPS receiver; hidden without one.
    TGpsStatus *gpsStatus = nullptr;
    TVRSComm32 *VRSComm321 = nullptr;
    VRynTopDistributor *distTop = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *tmrShow = nullptr;
    VRynTerminal *termMain = nullptr;
    VRynAppInfo *VRynAppInfo1 = nullptr;
    QMenuBar *MainMenu1 = nullptr;
    // The radio view and the antenna-pointing mode, windows of their own.
    TRadioView *radioView = nullptr;
    // View → Events: the records' events; each is a marker on zefXPGraph1.
    TEventList *eventList = nullptr;
    QAction *Events1 = nullptr;
    TPointingView *pointingView = nullptr;
    // Desktop notifications of the event types picked in Settings.
    TEventNotifier *eventNotifier = nullptr;

    // Menu items.
    QAction *Recordlog1 = nullptr;
    QAction *Recordsession1 = nullptr;
    QAction *Openrecording1 = nullptr;
    QAction *Exit1 = nullptr;
    std::array<QAction *, 5> UpdateSpeedItems{};
    QAction *Radio1 = nullptr;
    QAction *Antennapointing1 = nullptr;
    QAction *Debugterminal1 = nullptr;
    QAction *Answercalls1 = nullptr;
    QAction *Readonly1 = nullptr;
    QAction *Logterminaltofile1 = nullptr;
    QAction *PollInterval1 = nullptr;
    QAction *Notifications1 = nullptr;
    QAction *Scanoperators1 = nullptr; // Settings -> "Scan for operators..."
    QAction *Holdpolling1 = nullptr; // in the terminal
    QAction *Content1 = nullptr;
    QAction *About1 = nullptr;
    QAction *Modem1 = nullptr; // Help -> "Modem": the identity read at the connection's start

    ModemSession &Session() { return *m_session; }
    // The operator items' codes by radio index; index 0 is "Auto select".
    const std::vector<OperatorEntry> &Operators() const { return m_operators; }
    // The radio items of rgpOperators, "Auto select" first, inside their
    // scrolling area.
    const std::vector<QRadioButton *> &OperatorButtons() const { return m_operatorButtons; }
    QScrollArea *OperatorScroll() const { return m_operatorScroll; }
    // The port the session opens; the box may show a typed one not yet applied.
    QString AppliedPort() const { return m_appliedPort; }
    bool PortEditPending() const;
    // Whether the port is open: while it is not, the window shows every
    // value as unknown.
    bool PortOpen() const { return m_portOpen; }

    // Where the terminal window goes: beside the main window's frame,
    // inside the available screen area; terminal is the terminal's frame
    // size, shrunk when the screen has no room for it.
    static QRect TerminalPlace(const QRect &mainFrame, const QSize &terminal, const QRect &available);
    int LastServingChannel() const { return m_lastServingChannel; }

    // Handlers.
    void cmbPortDropDown();
    void cmbPortChange();
    void btnPortParametersClick();
    void btnShowTermClick();
    void rgpOperatorsClick(int index);
    // Shows the session's display record, under its lock.
    void tmrShowTimer();
    // Shows record in the graph, the status bar, the grid and the label.
    void ShowRecord(const TNetState &record);
    void Recordlog1Click();
    void BuildRecordingMenuItems(QMenu *file);
    void Recordsession1Click();
    void Openrecording1Click();
    // The title says when a recording plays, never passing it off as a modem.
    void ShowPlayingRecording(const std::string &port);
    void RecordIdentity();
    void Exit1Click();
    void UpdateSpeedClick(int index);
    void Debugterminal1Click();
    void Logterminaltofile1Click();
    // Asks for the poll interval in seconds (0: one cycle right after the other).
    void PollInterval1Click();
    void Notifications1Click();
    // Applies and remembers the poll interval.
    void SetPollInterval(double seconds);
    // Settings -> "Answer incoming calls" and "Read only", remembered.
    void Answercalls1Click(bool on);
    void Readonly1Click(bool on);
    void Content1Click();
    void About1Click();
    // Shows what the modem said about itself and its SIM.
    void Modem1Click();
    // Asks the modem which networks it finds; a dialog shows the scan's
    // progress and cancels it. The networks found join the operator table.
    void Scanoperators1Click();
    // The scan's progress dialog while a scan is asked for or under way.
    QProgressDialog *ScanDialog() const { return m_scanDialog; }

    // The start-up steps run when the window is first shown.
    void FormShow();
    void FormFirstShow();
    // Reads mccmnc.ini (writing the default when missing) into the radio group.
    void LoadOperators();

    // A warning or error for the status bar: shown for kNoticeTime, then the
    // panels are back. The terminal's error and warning lines come here. The
    // same text again within kNoticeRepeatGap is not shown again, so a
    // failure that repeats does not keep the panels covered.
    static constexpr std::chrono::milliseconds kNoticeTime{5000};
    static constexpr std::chrono::milliseconds kNoticeRepeatGap{60000};
    void ShowNotice(const QString &text);

    // The radio view's place, size, gNB id length and whether it is open,
    // kept in the settings like the main window's.
    void SaveRadioViewState();
    void RestoreRadioViewState();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildComponents();
    void BuildConnectionGroup(QWidget *parent, QVBoxLayout *layout);
    void BuildGraph(QWidget *parent, QVBoxLayout *layout);
    void BuildSpeedRow(QWidget *parent, QVBoxLayout *layout);
    void BuildGridAndOperators(QWidget *parent, QVBoxLayout *layout);
    void BuildStatusBar();
    void BuildChannelAndTimers();
    void ConnectComponents();
    void BuildMenu();
    void BuildRadioWindows();
    void BuildEventNotifier();
    void WriteGridHeader(const TGridRow &header);
    void ShowGridColumns(int count);
    void ApplyGridRowHeight(int height);
    void ClearOperatorItems();
    void AddOperatorItem(QWidget *list, QVBoxLayout *layout, const QString &text, bool enabled);
    void NewOperatorButtonGroup();
    void ShowPortEditState();
    void ShowPortClosed();
    void PlaceTerminal();
    void RunGuarded(const char *what, const std::function<void()> &f);
    void ConnectTerminal();
    // Settings -> "Log terminal to file" follows the terminal's logging,
    // whichever control switched it.
    void ShowTerminalLogging(bool on);
    void NoteTableEncoding(const QString &path, const OperatorTableResult &table);
    // The operator switch is usable unless the session is read-only.
    void EnableOperators();
    void WriteSetting(const QString &key, bool on);
    bool ReadSetting(const QString &key, bool defaultValue) const;
    // Checks the radio item index, or none for -1.
    void CheckOperatorItem(int index);

    std::unique_ptr<ModemSession> m_session;
    TfrmAbout *m_about = nullptr;
    QScrollArea *m_operatorScroll = nullptr;
    std::vector<QRadioButton *> m_operatorButtons;
    QStringList m_operatorItemTexts; // as built, before "&" is doubled for display
    std::vector<OperatorEntry> m_operators;
    // What the last network scan found of each code, shown in its item.
    std::map<QString, QString> m_scanMarks;
    // Networks found that the table file could not take (shown all the same).
    std::vector<OperatorEntry> m_scanOnly;
    QProgressDialog *m_scanDialog = nullptr;
    QTimer *m_scanClock = nullptr; // moves the dialog's bar once a second
    std::chrono::milliseconds m_scanTimeout{0};
    qint64 m_scanStartedMs = 0;
    // The radio item of the selection the modem uses (-1: not known), and
    // that of the switch asked for, until the modem answered it.
    int m_operatorInUse = -1;
    int m_operatorAsked = -1;
    bool m_operatorSwitching = false; // from the pick to the first cycle after its answer
    std::int32_t m_lastServingChannel = -1;
    int m_gridColumns = 0;
    TGridRow m_gridHeader{kGridHeader};
    QString m_commandLinePort;
    // The port the session opens: set at start, then by a pick or Enter.
    QString m_appliedPort;
    bool m_shown = false;
    bool m_settingsRead = false; // from then on, a changed setting is stored
    QString m_windows1250Noted;    // the table already said to be Windows-1250
    QString m_lastNotice;
    std::chrono::steady_clock::time_point m_lastNoticeTime;
    bool m_portOpen = false;
    bool m_terminalPlaced = false;
    // The channel state's colour of the port text; none before the first state.
    std::optional<std::uint32_t> m_portColor;
    QPalette m_portPalette;
    std::function<void(const TNetState &)> m_onCycleCompleted;
    RecordLog m_recordLog;
    // The events of the records (the record log's, the graph's markers).
    RecordEventDeriver m_events;
    TRynRecorder m_sessionRecorder;
};

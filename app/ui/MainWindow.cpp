#include "MainWindow.h"

#include "AboutBox.h"
#include "AppIcon.h"
#include "MeasurementDisplay.h"
#include "PointingView.h"
#include "EventList.h"
#include "GpsStatus.h"
#include "EventNotifier.h"
#include "RadioView.h"
#include "RynColor.h"
#include "SerialParametersDialog.h"
#include "VRSComm32.h"
#include "VRynAppInfo.h"
#include "VRynTerminal.h"
#include "VRynTerminalLineType.h"
#include "VRynTopDistributor.h"
#include "zefXPGraph.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileDialog>
#include <QDir>
#include <QInputDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <exception>

#ifndef PALVEX_SOURCE_DIR
#define PALVEX_SOURCE_DIR ""
#endif
#ifndef PALVEX_INSTALL_DOCDIR
#define PALVEX_INSTALL_DOCDIR "share/doc/palvex"
#endif

namespace {

const QString kConnectionSection = QStringLiteral("Connection");
const QString kPortKey = QStringLiteral("COMPort");
// The "&Parameters" settings of the port, "115200,8,N,1,none".
const QString kPortSettingsKey = QStringLiteral("COMPortSettings");
const QString kPollIntervalKey = QStringLiteral("PollInterval");
// The longest poll interval, a day: the session's timer counts milliseconds
// in 32 bits.
constexpr double kMaxPollIntervalSeconds = 86400.0;
// The switches of the Settings menu, "1" or "0".
const QString kSettingsSection = QStringLiteral("Settings");
const QString kAnswerCallsKey = QStringLiteral("AnswerCalls");
const QString kReadOnlyKey = QStringLiteral("ReadOnly");
const QString kUpdateSpeedKey = QStringLiteral("UpdateSpeed"); // the item's index
const QString kDebugTerminalKey = QStringLiteral("DebugTerminal");
const QString kLogTerminalKey = QStringLiteral("LogTerminal");
const QString kStatusHint = QStringLiteral("COM port can is the first parameter in command line!");
const QString kPortToolTip = QStringLiteral("Serial port: pick one, or type a device path and press Enter");
// The speed picture and label: the history graph's grid square spans the
// named time.
const QString kSpeedToolTip =
    QStringLiteral("Time per grid square of the signal history (menu Update Speed)");

// The GSM cell rows have six columns, the LTE and NR grid seven.
constexpr int kGridColumns = 10;
constexpr int kGridRows = 8;
constexpr int kGridColumnWidth = 60;

// Colours as 0x00BBGGRR.
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kLime = 0x00FF00;
constexpr std::uint32_t kGreen = 0x008000;
constexpr std::uint32_t kDarkGreen = 16384; // 0x004000
constexpr std::uint32_t kMaroon = 0x000080;

QString QText(const std::string &s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

// ---- port combo box ------------------------------------------------------

TPortComboBox::TPortComboBox(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // No inline completion: a typed device path stays as typed.
    setCompleter(nullptr);
    // Enter in the text and a pick from the list may both arrive for one
    // action (Enter on a text that names an item activates that item too);
    // they are merged into one commit.
    auto commit = [this] {
        if (m_commitPending)
            return;
        m_commitPending = true;
        QTimer::singleShot(0, this, [this] {
            m_commitPending = false;
            emit PortCommitted();
        });
    };
    connect(lineEdit(), &QLineEdit::returnPressed, this, commit);
    connect(this, &QComboBox::activated, this, commit);
}

void TPortComboBox::showPopup()
{
    emit DropDown();
    QComboBox::showPopup();
}

// ---- main window ---------------------------------------------------------

const std::array<TfrmMain::UpdateSpeed, 5> TfrmMain::kUpdateSpeeds{{
    {"1 second", std::chrono::milliseconds(83), "= 1 second"},
    {"3 seconds", std::chrono::milliseconds(250), "= 3 seconds"},
    {"5 seconds", std::chrono::milliseconds(417), "= 5 seconds"},
    {"10 seconds", std::chrono::milliseconds(833), "= 10 seconds"},
    {"1 minute", std::chrono::milliseconds(5000), "= 1 minute"},
}};

int TfrmMain::GridRowHeight(double pointSize, double pixelsPerInch)
{
    return int(std::abs(std::lround(pointSize * pixelsPerInch / 72.0 * 1.3))) + 1;
}

TfrmMain::TfrmMain(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Palvex"));
    setWindowIcon(PalvexIcon());
    QFont shellFont(QStringLiteral("MS Shell Dlg 2"));
    shellFont.setPixelSize(11);
    setFont(shellFont);

    BuildComponents();
    BuildRadioWindows();
    BuildMenu();
    ConnectTerminal();
    BuildEventNotifier();
    resize(555, 437);

    m_session = std::make_unique<ModemSession>(*distTop, *VRSComm321, *this);
    termMain->SetOnTermSendData([this](VRynTerminal *, const std::uint8_t *data, std::size_t count) {
        m_session->TerminalSendData(data, count);
    });
    Holdpolling1 = new QAction(QStringLiteral("Hold polling"), this);
    Holdpolling1->setObjectName(QStringLiteral("Holdpolling1"));
    Holdpolling1->setCheckable(true);
    Holdpolling1->setToolTip(QStringLiteral("Stop the poll cycles, so typed commands are answered alone"));
    connect(Holdpolling1, &QAction::triggered, this, [this](bool on) { m_session->SetPollingHeld(on); });
    termMain->AddToolAction(Holdpolling1);
    RunGuarded("distributor tick", [this] { distTop->TimerTick(); });
    Timer1->start();
}

TfrmMain::~TfrmMain()
{
    // The pointing mode tells the session when it closes: before the session goes.
    delete pointingView;
    pointingView = nullptr;
    tmrShow->stop();
    Timer1->stop();
    VRSComm321->StopComm();
    VRSComm321->SetRecorder(nullptr);
    m_session.reset();
}

void TfrmMain::BuildComponents()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    BuildConnectionGroup(central, layout);
    BuildGraph(central, layout);
    BuildSpeedRow(central, layout);
    BuildGridAndOperators(central, layout);
    BuildStatusBar();
    BuildChannelAndTimers();
    ConnectComponents();
}

// The connection group: port, parameters, terminal, connection state.
void TfrmMain::BuildConnectionGroup(QWidget *parent, QVBoxLayout *layout)
{
    GroupBox1 = new QGroupBox(QStringLiteral(" Connection "), parent);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *connection = new QHBoxLayout(GroupBox1);
    connection->setContentsMargins(6, 2, 6, 4);
    cmbPort = new TPortComboBox(GroupBox1);
    cmbPort->setObjectName(QStringLiteral("cmbPort"));
    cmbPort->setMinimumWidth(227);
    cmbPort->setToolTip(kPortToolTip);
    m_portPalette = cmbPort->palette();
    btnPortParameters = new QPushButton(QStringLiteral("&Parameters"), GroupBox1);
    btnPortParameters->setObjectName(QStringLiteral("btnPortParameters"));
    btnShowTerm = new QPushButton(QStringLiteral("Show &terminal"), GroupBox1);
    btnShowTerm->setObjectName(QStringLiteral("btnShowTerm"));
    lblConnection = new QLabel(QStringLiteral("?"), GroupBox1);
    lblConnection->setObjectName(QStringLiteral("lblConnection"));
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(11);
    tahoma.setBold(true);
    lblConnection->setFont(tahoma);
    QPalette maroon = lblConnection->palette();
    maroon.setColor(QPalette::WindowText, RynToQColor(kMaroon));
    lblConnection->setPalette(maroon);
    connection->addWidget(cmbPort);
    connection->addWidget(btnPortParameters);
    connection->addWidget(btnShowTerm);
    connection->addWidget(lblConnection, 1);
    layout->addWidget(GroupBox1);
}

// The signal graph: takes the extra space.
void TfrmMain::BuildGraph(QWidget *parent, QVBoxLayout *layout)
{
    zefXPGraph1 = new TzefXPGraph(parent);
    zefXPGraph1->setObjectName(QStringLiteral("zefXPGraph1"));
    zefXPGraph1->SetBackGround(kBlack);
    zefXPGraph1->SetGraphFont(zefXPGraph1->GraphFont(), kLime);
    zefXPGraph1->SetUsageCaption(QStringLiteral("Signal"));
    zefXPGraph1->SetHistoryCaption(QStringLiteral("Signal History"));
    zefXPGraph1->SetUsageLabel(QStringLiteral("%"));
    zefXPGraph1->SetMaxValue(100);
    zefXPGraph1->SetRefreshInterval(30000);
    zefXPGraph1->SetColorHalf(kLime);
    zefXPGraph1->SetColor75(kLime);
    zefXPGraph1->SetColorMax(kLime);
    zefXPGraph1->SetColorUsageBarBack(kDarkGreen);
    zefXPGraph1->SetColorHistoryGrid(kGreen);
    zefXPGraph1->SetColorHistoryGridLine(kLime);
    zefXPGraph1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(zefXPGraph1, 1);
}

// The update speed.
void TfrmMain::BuildSpeedRow(QWidget *parent, QVBoxLayout *layout)
{
    auto *speed = new QHBoxLayout;
    Image1 = new QLabel(parent);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(19, 18);
    Image1->setPixmap(SpeedPicture());
    Image1->setToolTip(kSpeedToolTip);
    lblSpeed = new QLabel(QStringLiteral("= 3 seconds"), parent);
    lblSpeed->setObjectName(QStringLiteral("lblSpeed"));
    lblSpeed->setToolTip(kSpeedToolTip);
    speed->addWidget(Image1);
    speed->addWidget(lblSpeed);
    speed->addStretch(1);
    layout->addLayout(speed);
}

// The result grid and the operator switch.
void TfrmMain::BuildGridAndOperators(QWidget *parent, QVBoxLayout *layout)
{
    auto *bottom = new QHBoxLayout;
    sgrResult = new QTableWidget(kGridRows, kGridColumns, parent);
    sgrResult->setObjectName(QStringLiteral("sgrResult"));
    QFont consolas(QStringLiteral("Consolas"));
    consolas.setStyleHint(QFont::TypeWriter);
    consolas.setFixedPitch(true);
    consolas.setPointSize(8);
    sgrResult->setFont(consolas);
    sgrResult->horizontalHeader()->hide();
    sgrResult->verticalHeader()->hide();
    sgrResult->horizontalHeader()->setDefaultSectionSize(kGridColumnWidth);
    sgrResult->horizontalHeader()->setMinimumSectionSize(1);
    sgrResult->verticalHeader()->setMinimumSectionSize(1);
    sgrResult->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgrResult->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgrResult->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgrResult->setSelectionMode(QAbstractItemView::NoSelection);
    sgrResult->setFocusPolicy(Qt::NoFocus);
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < kGridColumns; ++c)
            sgrResult->setItem(r, c, new QTableWidgetItem);
    ShowGridColumns(int(kGridHeader.size()));
    ApplyGridRowHeight(sgrResult->verticalHeader()->defaultSectionSize());
    bottom->addWidget(sgrResult, 0, Qt::AlignBottom);

    rgpOperators = new QGroupBox(QStringLiteral(" Switch to operator "), parent);
    rgpOperators->setObjectName(QStringLiteral("rgpOperators"));
    rgpOperators->setEnabled(false);
    // The group is as tall as the grid beside it, whatever the number of
    // operators: the items scroll inside it, without frame or background,
    // so a few of them look as a plain radio group.
    rgpOperators->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    auto *groupLayout = new QVBoxLayout(rgpOperators);
    groupLayout->setContentsMargins(6, 2, 6, 4);
    m_operatorScroll = new QScrollArea(rgpOperators);
    m_operatorScroll->setObjectName(QStringLiteral("rgpOperatorsScroll"));
    m_operatorScroll->setFrameShape(QFrame::NoFrame);
    m_operatorScroll->setWidgetResizable(true);
    m_operatorScroll->viewport()->setAutoFillBackground(false);
    groupLayout->addWidget(m_operatorScroll);
    NewOperatorButtonGroup();
    bottom->addWidget(rgpOperators, 1);
    layout->addLayout(bottom);
}

void TfrmMain::BuildStatusBar()
{
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setToolTip(kStatusHint);
    StatusBar1->setSizeGripEnabled(true);
    const std::array<QString, 3> startTexts{QStringLiteral("COM?"), QStringLiteral("Device: ?"),
                                            QStringLiteral("Operator: ?")};
    const std::array<int, 3> widths{50, 200, 50};
    for (int i = 0; i < 3; ++i) {
        auto *panel = new TElidedLabel(startTexts[size_t(i)], StatusBar1);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setMinimumWidth(widths[size_t(i)]);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->SetPlainToolTip(kStatusHint);
        StatusPanels[size_t(i)] = panel;
        StatusBar1->addWidget(panel, i == 2 ? 1 : 0);
    }
    gpsStatus = new TGpsStatus(StatusBar1);
    StatusBar1->addPermanentWidget(gpsStatus);
    gpsStatus->setVisible(false);
    connect(gpsStatus, &TGpsStatus::StatusChanged, this, [this](const QString &text, bool problem) {
        termMain->AddLine(QStringLiteral("GPS: ") + text, problem ? VRynTerminal_ltWarning : VRynTerminal_ltExtra);
    });
}

void TfrmMain::SetPositionSource(std::unique_ptr<PositionSource> source)
{
    gpsStatus->SetSource(std::move(source));
}

void TfrmMain::SetModemGnss(bool on)
{
    m_session->SetGnss(on);
    gpsStatus->SetModemGnss(on);
}

// The channel, the distributor and the timers, the terminal and the
// application settings.
void TfrmMain::BuildChannelAndTimers()
{
    VRSComm321 = new TVRSComm32(this);
    VRSComm321->setObjectName(QStringLiteral("VRSComm321"));
    VRSComm321->SetCommPort("COM1");
    VRSComm321->SetBaudRate(115200);
    VRSComm321->SetAutoReconnect(false);
    InstallSerialParametersDialog(*VRSComm321, this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(ModemSession::kTick);
    distTop = new VRynTopDistributor(this);
    distTop->setObjectName(QStringLiteral("distTop"));
    distTop->SetTimer(Timer1);
    distTop->SetComHandler(VRSComm321);

    tmrShow = new QTimer(this);
    tmrShow->setObjectName(QStringLiteral("tmrShow"));
    tmrShow->setInterval(kDesignedShowPeriod);
    connect(tmrShow, &QTimer::timeout, this, [this] { RunGuarded("display", [this] { tmrShowTimer(); }); });

    termMain = new VRynTerminal(this);
    termMain->setObjectName(QStringLiteral("termMain"));
    termMain->SetCaption(QStringLiteral("Terminal"));
    termMain->SetModeIndex(-1);
    termMain->SetCloseAction(trmcaHide);
    termMain->SetShowOptions(vrtsoShowTimes);
    termMain->SetLoggerOpenFlags(0x80000000u);

    VRynAppInfo1 = new VRynAppInfo(this);
    VRynAppInfo1->setObjectName(QStringLiteral("VRynAppInfo1"));
    VRynAppInfo1->SetAppName(QStringLiteral("Palvex"));
    VRynAppInfo1->SetRegistryPath(QStringLiteral("Software\\RYN s.r.o.\\"));
    connect(VRynAppInfo1, &VRynAppInfo::FirstShow, this,
            [this] { RunGuarded("first show", [this] { FormFirstShow(); }); });
}

// The handlers of the components' signals.
void TfrmMain::ConnectComponents()
{
    connect(cmbPort, &TPortComboBox::DropDown, this, [this] { RunGuarded("port list", [this] { cmbPortDropDown(); }); });
    connect(cmbPort, &TPortComboBox::PortCommitted, this,
            [this] { RunGuarded("port change", [this] { cmbPortChange(); }); });
    connect(btnPortParameters, &QPushButton::clicked, this,
            [this] { RunGuarded("port parameters", [this] { btnPortParametersClick(); }); });
    connect(btnShowTerm, &QPushButton::clicked, this, [this] { btnShowTermClick(); });
    connect(cmbPort, &QComboBox::editTextChanged, this, [this] { ShowPortEditState(); });
}

void TfrmMain::BuildMenu()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    QMenu *file = MainMenu1->addMenu(QStringLiteral("&File"));
    Recordlog1 = file->addAction(QStringLiteral("&Record log to file..."));
    Recordlog1->setCheckable(true);
    Recordlog1->setStatusTip(QStringLiteral("Append every poll cycle's values to a file (JSON lines or CSV)"));
    connect(Recordlog1, &QAction::triggered, this, [this] { RunGuarded("record log", [this] { Recordlog1Click(); }); });
    BuildRecordingMenuItems(file);
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("&Exit"), this, [this] { Exit1Click(); });
    Exit1->setShortcut(QKeySequence::Quit);

    QMenu *speed = MainMenu1->addMenu(QStringLiteral("&Update Speed"));
    auto *speedGroup = new QActionGroup(this);
    speedGroup->setExclusive(true);
    for (int i = 0; i < int(kUpdateSpeeds.size()); ++i) {
        QAction *item = speed->addAction(QString::fromLatin1(kUpdateSpeeds[size_t(i)].item));
        item->setCheckable(true);
        speedGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, i] { UpdateSpeedClick(i); });
        UpdateSpeedItems[size_t(i)] = item;
    }

    QMenu *view = MainMenu1->addMenu(QStringLiteral("&View"));
    Radio1 = view->addAction(QStringLiteral("Radio"));
    Radio1->setCheckable(true);
    Radio1->setShortcut(QKeySequence(Qt::Key_F7));
    Radio1->setStatusTip(QStringLiteral("The serving cell's measures over time, the cells and the neighbours"));
    connect(Radio1, &QAction::triggered, radioView, &QWidget::setVisible);
    connect(radioView, &TRadioView::VisibilityChanged, Radio1, &QAction::setChecked);
    Antennapointing1 = view->addAction(QStringLiteral("Antenna pointing"));
    Antennapointing1->setShortcut(QKeySequence(Qt::Key_F8));
    Antennapointing1->setStatusTip(QStringLiteral("Large figures and a short poll cycle for pointing an antenna"));
    connect(Antennapointing1, &QAction::triggered, pointingView, &TPointingView::Enter);
    eventList = new TEventList(this);
    Events1 = view->addAction(QStringLiteral("Events"));
    Events1->setCheckable(true);
    Events1->setStatusTip(QStringLiteral("Handovers, technology changes, lost registrations, signal drops..."));
    connect(Events1, &QAction::triggered, eventList, &QWidget::setVisible);
    connect(eventList, &TEventList::VisibilityChanged, Events1, &QAction::setChecked);

    QMenu *settings = MainMenu1->addMenu(QStringLiteral("&Settings"));
    Debugterminal1 = settings->addAction(QStringLiteral("Debug terminal"));
    Debugterminal1->setCheckable(true);
    Debugterminal1->setStatusTip(QStringLiteral("Show every command and answer in the terminal"));
    connect(Debugterminal1, &QAction::triggered, this, [this] { Debugterminal1Click(); });
    Answercalls1 = settings->addAction(QStringLiteral("Answer incoming calls"));
    Answercalls1->setCheckable(true);
    Answercalls1->setChecked(true);
    Answercalls1->setStatusTip(QStringLiteral("Answer a call that comes in to the modem (ATA)"));
    connect(Answercalls1, &QAction::triggered, this, [this](bool on) { Answercalls1Click(on); });
    Readonly1 = settings->addAction(QStringLiteral("Read only"));
    Readonly1->setCheckable(true);
    Readonly1->setStatusTip(
        QStringLiteral("Send only commands that change nothing in the modem: no operator selection, no call answered"));
    connect(Readonly1, &QAction::triggered, this, [this](bool on) { Readonly1Click(on); });
    Logterminaltofile1 = settings->addAction(QStringLiteral("Log terminal to file"));
    Logterminaltofile1->setCheckable(true);
    Logterminaltofile1->setStatusTip(QStringLiteral("Write the terminal lines to ") +
                                     QDir::toNativeSeparators(termMain->LogFile()));
    connect(Logterminaltofile1, &QAction::triggered, this,
            [this] { RunGuarded("terminal log", [this] { Logterminaltofile1Click(); }); });
    PollInterval1 = settings->addAction(QStringLiteral("Poll interval"));
    PollInterval1->setStatusTip(QStringLiteral("Seconds between the starts of two poll cycles"));
    connect(PollInterval1, &QAction::triggered, this,
            [this] { RunGuarded("poll interval", [this] { PollInterval1Click(); }); });
    Notifications1 = settings->addAction(QStringLiteral("Notifications..."));
    Notifications1->setStatusTip(QStringLiteral("The events shown as desktop notifications (none by default)"));
    connect(Notifications1, &QAction::triggered, this,
            [this] { RunGuarded("notifications", [this] { Notifications1Click(); }); });
    settings->addSeparator();
    Scanoperators1 = settings->addAction(QStringLiteral("Scan for operators..."));
    Scanoperators1->setStatusTip(
        QStringLiteral("Ask the modem which networks it finds (up to 3 minutes); they join the operator switch"));
    connect(Scanoperators1, &QAction::triggered, this,
            [this] { RunGuarded("network scan", [this] { Scanoperators1Click(); }); });

    QMenu *help = MainMenu1->addMenu(QStringLiteral("&Help"));
    Content1 = help->addAction(QStringLiteral("&Content"), this, [this] { Content1Click(); });
    Content1->setShortcut(QKeySequence::HelpContents);
    Modem1 = help->addAction(QStringLiteral("&Modem"), this, [this] { Modem1Click(); });
    Modem1->setStatusTip(QStringLiteral("Maker, model, firmware, IMEI and SIM of the connected modem"));
    About1 = help->addAction(QStringLiteral("&About"), this, [this] { About1Click(); });
}

void TfrmMain::BuildRadioWindows()
{
    radioView = new TRadioView(this);
    pointingView = new TPointingView(this);
    // The pointing mode polls only what it shows, for a faster cycle.
    connect(pointingView, &TPointingView::ModeChanged, this, [this](bool on) {
        if (m_session)
            m_session->SetShortCycle(on);
    });
}

namespace {

const QString kRadioSection = QStringLiteral("RadioView");

} // namespace

void TfrmMain::SaveRadioViewState()
{
    VRynAppInfo1->WriteString(kRadioSection, QStringLiteral("Open"),
                              radioView->isVisible() ? QStringLiteral("1") : QStringLiteral("0"));
    VRynAppInfo1->WriteString(kRadioSection, QStringLiteral("Geometry"),
                              QString::fromLatin1(radioView->saveGeometry().toBase64()));
    VRynAppInfo1->WriteString(kRadioSection, QStringLiteral("GnbIdBits"), QString::number(radioView->GnbIdBits()));
}

void TfrmMain::RestoreRadioViewState()
{
    const QString geometry = VRynAppInfo1->ReadString(kRadioSection, QStringLiteral("Geometry"));
    if (!geometry.isEmpty())
        radioView->restoreGeometry(QByteArray::fromBase64(geometry.toLatin1()));
    bool ok = false;
    const int bits = VRynAppInfo1->ReadString(kRadioSection, QStringLiteral("GnbIdBits")).toInt(&ok);
    if (ok)
        radioView->SetGnbIdBits(bits); // clamped to 22..32 by the box
    if (VRynAppInfo1->ReadString(kRadioSection, QStringLiteral("Open")) == QStringLiteral("1"))
        radioView->show();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    SaveRadioViewState();
    radioView->close();
    pointingView->close();
    QMainWindow::closeEvent(event);
}

void TfrmMain::RunGuarded(const char *what, const std::function<void()> &f)
{
    // Nothing may escape into Qt's event loop: a failure is reported in the
    // terminal and the window goes on.
    try {
        f();
    } catch (const std::exception &e) {
        termMain->AddLine(std::string("error in ") + what + ": " + e.what(), VRynTerminal_ltError);
    } catch (...) {
        termMain->AddLine(std::string("error in ") + what, VRynTerminal_ltError);
    }
}

// The terminal's logging and its error and warning lines, shown in the menu
// and the status bar.
void TfrmMain::ConnectTerminal()
{
    connect(termMain, &VRynTerminal::LoggingChanged, this, &TfrmMain::ShowTerminalLogging);
    connect(termMain, &VRynTerminal::ProblemLineAdded, this, [this](const QString &text) { ShowNotice(text); });
    // The terminal is a window of its own: Ctrl+Q ends the program there
    // as well (Esc puts it away, the terminal's own key).
    auto *quit = new QShortcut(QKeySequence::Quit, termMain);
    connect(quit, &QShortcut::activated, this, [this] { Exit1Click(); });
}

void TfrmMain::ShowNotice(const QString &text)
{
    const auto now = std::chrono::steady_clock::now();
    if (text == m_lastNotice && now - m_lastNoticeTime < kNoticeRepeatGap)
        return;
    m_lastNotice = text;
    m_lastNoticeTime = now;
    StatusBar1->showMessage(text, int(kNoticeTime.count()));
}

void TfrmMain::ShowTerminalLogging(bool on)
{
    Logterminaltofile1->setChecked(on);
    Logterminaltofile1->setStatusTip(QStringLiteral("Write the terminal lines to ") +
                                     QDir::toNativeSeparators(termMain->LogFile()));
}

// ---- start-up ------------------------------------------------------------

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // Run from the event loop once the show has finished, so the session's
    // start (which processes pending messages) does not run inside it.
    QTimer::singleShot(0, this, [this] { RunGuarded("start", [this] { FormShow(); }); });
}

void TfrmMain::FormShow()
{
    setWindowTitle(QStringLiteral("Palvex, version ") + VRynAppInfo::VersionText());

    // Nothing is opened until the user picked a port: the system's first
    // one may be anything, and AT commands are no bytes to write to it.
    FillPortList(cmbPort);
    cmbPort->setCurrentIndex(-1);
    cmbPort->setEditText(QString());
    const QString stored = VRynAppInfo1->ReadString(kConnectionSection, kPortKey);
    if (!stored.isEmpty())
        cmbPort->setEditText(stored);
    if (!m_commandLinePort.isEmpty())
        cmbPort->setEditText(m_commandLinePort);
    m_appliedPort = cmbPort->currentText().trimmed();
    ShowPortEditState();
    const QString portSettings = VRynAppInfo1->ReadString(kConnectionSection, kPortSettingsKey);
    if (!portSettings.isEmpty()) {
        try {
            VRSComm321->SetConfigAsString(portSettings.toStdString());
        } catch (const std::exception &e) {
            termMain->AddLine(std::string("stored port settings ignored: ") + e.what(), VRynTerminal_ltWarning);
        }
    }

    bool intervalOk = false;
    const double interval = VRynAppInfo1->ReadString(kConnectionSection, kPollIntervalKey).toDouble(&intervalOk);
    if (intervalOk && interval >= 0 && interval <= kMaxPollIntervalSeconds)
        SetPollInterval(interval);

    Answercalls1Click(ReadSetting(kAnswerCallsKey, true));
    Readonly1Click(ReadSetting(kReadOnlyKey, false));
    WriteGridHeader(kGridHeader);
    LoadOperators();
    bool speedRead = false;
    const int speed = VRynAppInfo1->ReadString(kSettingsSection, kUpdateSpeedKey).toInt(&speedRead);
    UpdateSpeedClick(speedRead && speed >= 0 && speed < int(kUpdateSpeeds.size()) ? speed : kDefaultUpdateSpeed);
    if (ReadSetting(kDebugTerminalKey, false))
        Debugterminal1Click();
    if (ReadSetting(kLogTerminalKey, false))
        Logterminaltofile1Click();
    m_settingsRead = true;
    // Qt paints every widget double-buffered; nothing to switch on.
    QCoreApplication::processEvents();

    if (m_appliedPort.isEmpty()) {
        StatusPanels[0]->SetFullText(QStringLiteral("No port"));
        termMain->AddLine(QStringLiteral("No port chosen: pick the modem's port in the list."), VRynTerminal_ltExtra);
        return;
    }
    m_session->SetState(ModemSession::State::Init);
    m_session->Run();
}

void TfrmMain::FormFirstShow()
{
    RestoreRadioViewState();
    // The terminal is placed when it is first shown: by then the window
    // manager has placed the main window (at the first show it may still
    // move it, and the terminal would land on top of it).
    ApplyGridRowHeight(GridRowHeight(QFontInfo(sgrResult->font()).pointSizeF(), sgrResult->logicalDpiY()));
}

QRect TfrmMain::TerminalPlace(const QRect &mainFrame, const QSize &terminal, const QRect &available)
{
    QRect place(QPoint(0, 0), terminal.boundedTo(available.size()));
    const auto clampX = [&](int x) { return std::clamp(x, available.left(), available.right() + 1 - place.width()); };
    const auto clampY = [&](int y) { return std::clamp(y, available.top(), available.bottom() + 1 - place.height()); };
    const int roomRight = available.right() - mainFrame.right();
    const int roomLeft = mainFrame.left() - available.left();
    const int roomBelow = available.bottom() - mainFrame.bottom();
    const int roomAbove = mainFrame.top() - available.top();
    // Beside it at full size when a side has the room, then a narrower one
    // beside it, then below or above, and inside the screen in any case.
    constexpr int kNarrowest = 320;
    if (roomRight >= place.width() || (roomRight >= roomLeft && roomRight >= kNarrowest)) {
        place.setWidth(std::min(place.width(), roomRight));
        place.moveTopLeft({mainFrame.right() + 1, clampY(mainFrame.top())});
    } else if (roomLeft >= kNarrowest) {
        place.setWidth(std::min(place.width(), roomLeft));
        place.moveTopLeft({mainFrame.left() - place.width(), clampY(mainFrame.top())});
    } else if (roomBelow >= place.height() || roomBelow >= roomAbove) {
        place.moveTopLeft({clampX(mainFrame.left()), clampY(mainFrame.bottom() + 1)});
    } else {
        place.moveTopLeft({clampX(mainFrame.left()), clampY(mainFrame.top() - place.height())});
    }
    return place;
}

void TfrmMain::PlaceTerminal()
{
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where)
        return;
    // The terminal's frame is not known before it is shown: that of the
    // main window stands in for it.
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    const QSize terminalFrame = termMain->size().grownBy(frame);
    const QRect place = TerminalPlace(outer, terminalFrame, where->availableGeometry());
    termMain->resize(place.size().shrunkBy(frame));
    termMain->move(place.topLeft());
    m_terminalPlaced = true;
}

void TfrmMain::ApplyGridRowHeight(int height)
{
    sgrResult->verticalHeader()->setDefaultSectionSize(height);
    for (int r = 0; r < kGridRows; ++r)
        sgrResult->setRowHeight(r, height);
    const int frame = 2 * sgrResult->frameWidth();
    sgrResult->setFixedSize(m_gridColumns * kGridColumnWidth + frame, kGridRows * height + frame);
}

// Gives the grid count columns, each cell with its item.
void TfrmMain::ShowGridColumns(int count)
{
    count = std::clamp(count, 1, kGridColumns);
    if (count == m_gridColumns)
        return;
    m_gridColumns = count;
    sgrResult->setColumnCount(count);
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < count; ++c)
            if (!sgrResult->item(r, c))
                sgrResult->setItem(r, c, new QTableWidgetItem);
    ApplyGridRowHeight(sgrResult->verticalHeader()->defaultSectionSize());
}

void TfrmMain::WriteGridHeader(const TGridRow &header)
{
    ShowGridColumns(int(header.size()));
    // Row 0 is the grid's fixed header row: shown in the button colour.
    for (int c = 0; c < m_gridColumns; ++c) {
        QTableWidgetItem *item = sgrResult->item(0, c);
        item->setText(c < int(header.size()) ? QText(header[size_t(c)]) : QString());
        item->setBackground(sgrResult->palette().button());
        item->setForeground(sgrResult->palette().buttonText());
    }
}

// ---- operator table ------------------------------------------------------

void TfrmMain::NewOperatorButtonGroup()
{
    // A fresh group for a fresh list: taking the buttons out of the old one
    // one by one would cost a search of its list for each.
    delete rgpOperatorsButtons;
    rgpOperatorsButtons = new QButtonGroup(rgpOperators);
    rgpOperatorsButtons->setExclusive(true);
    connect(rgpOperatorsButtons, &QButtonGroup::idClicked, this,
            [this](int id) { RunGuarded("operator switch", [this, id] { rgpOperatorsClick(id); }); });
}

void TfrmMain::ClearOperatorItems()
{
    NewOperatorButtonGroup();
    m_operatorButtons.clear();
    m_operatorItemTexts.clear();
}

void TfrmMain::AddOperatorItem(QWidget *list, QVBoxLayout *layout, const QString &text, bool enabled)
{
    auto *button = new QRadioButton(list);
    // An "&" in an operator name is shown, not taken as a shortcut.
    button->setText(QString(text).replace(QLatin1Char('&'), QStringLiteral("&&")));
    button->setEnabled(enabled);
    const int index = int(m_operatorButtons.size());
    layout->addWidget(button);
    if (enabled)
        rgpOperatorsButtons->addButton(button, index);
    m_operatorButtons.push_back(button);
    m_operatorItemTexts << text;
}

void TfrmMain::LoadOperators()
{
    const QString path = OperatorTablePath(VRynAppInfo1->AppName());
    const OperatorTableResult table = LoadOperatorTable(path);
    NoteTableEncoding(path, table);
    ClearOperatorItems();
    m_operators = table.entries;
    for (const OperatorEntry &found : m_scanOnly)
        if (std::none_of(m_operators.begin(), m_operators.end(), [&](const OperatorEntry &e) { return e.code == found.code; }))
            m_operators.push_back(found);
    // The items are built in a list that is not shown yet and laid out once
    // when it replaces the old one (which goes with its buttons). They sit
    // in blocks: a widget that moves looks at each of its siblings, so a
    // layout pass over one flat list of n items would cost n squared.
    constexpr std::size_t kBlockItems = 64;
    auto *list = new QWidget;
    list->setObjectName(QStringLiteral("rgpOperatorsList"));
    auto *layout = new QVBoxLayout(list);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    QWidget *block = nullptr;
    QVBoxLayout *blockLayout = nullptr;
    const auto add = [&](const QString &text, bool enabled) {
        if (m_operatorButtons.size() % kBlockItems == 0) {
            block = new QWidget(list);
            blockLayout = new QVBoxLayout(block);
            blockLayout->setContentsMargins(0, 0, 0, 0);
            blockLayout->setSpacing(1);
            layout->addWidget(block);
        }
        AddOperatorItem(block, blockLayout, text, enabled);
    };
    QStringList texts{kAutoSelectText};
    for (const OperatorEntry &entry : m_operators) {
        const auto marks = m_scanMarks.find(entry.code);
        texts << OperatorItemText(entry, marks == m_scanMarks.end() ? QString() : marks->second);
    }
    m_operatorButtons.reserve(std::size_t(texts.size()) + 1);
    for (const QString &text : texts)
        add(text, true);
    if (!table.ok) {
        // Automatic selection still works; the reason stands in the group.
        termMain->AddLine(QStringLiteral("Operator table: ") + table.error, VRynTerminal_ltError);
        add(QStringLiteral("(no operator table: ") + table.error + QLatin1Char(')'), false);
        m_operatorButtons.back()->setToolTip(table.error);
    }
    layout->addStretch(1);
    m_operatorScroll->setWidget(list);
    list->setAutoFillBackground(false);
    EnableOperators();
}

// A table from an older installation: said once, new files are UTF-8.
void TfrmMain::NoteTableEncoding(const QString &path, const OperatorTableResult &table)
{
    if (!table.readAsWindows1250 || m_windows1250Noted == path)
        return;
    m_windows1250Noted = path;
    termMain->AddLine(Windows1250Note(path), VRynTerminal_ltWarning);
}

void TfrmMain::rgpOperatorsClick(int index)
{
    // Only "Auto select" and the table's items choose; an item that reports
    // a failure does not.
    if (index < 0 || index > int(m_operators.size()) || index >= m_operatorItemTexts.size())
        return;
    const std::optional<QString> code = OperatorCodeOfItem(index, m_operatorItemTexts[index]);
    if (!code || code->isEmpty())
        return;
    m_session->RequestOperator(code->toStdString());
    m_operatorAsked = index;
    m_operatorSwitching = true;
    rgpOperators->setEnabled(false);
}

void TfrmMain::CheckOperatorItem(int index)
{
    if (QAbstractButton *button = rgpOperatorsButtons->button(index)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group keeps one item checked: none is left by lifting
    // the rule for the moment.
    if (QAbstractButton *checked = rgpOperatorsButtons->checkedButton()) {
        rgpOperatorsButtons->setExclusive(false);
        checked->setChecked(false);
        rgpOperatorsButtons->setExclusive(true);
    }
}

// ---- display -------------------------------------------------------------

void TfrmMain::tmrShowTimer()
{
    if (!m_portOpen) {
        // Whatever the last cycle read is not the modem's state now.
        TNetState unknown;
        unknown.MarkAllInvalid();
        ShowRecord(unknown);
        return;
    }
    std::lock_guard lock(m_session->RecordLock());
    ShowRecord(m_session->DisplayRecord());
}

void TfrmMain::ShowRecord(const TNetState &record)
{
    const TDisplayTexts texts = ComposeDisplay(record, m_lastServingChannel);
    // While the modem switches the operator the record is emptied on
    // purpose: the graph keeps its last value instead of dropping to 0.
    if (!m_operatorSwitching)
        zefXPGraph1->SetUsageValue(texts.graphValue);
    // A locked or missing SIM is said as such, not as an unknown operator.
    const std::string simStatus = SimStatusText(m_session->Identity(), record);
    StatusPanels[2]->SetFullText(QText(simStatus.empty() ? texts.operatorPanel : simStatus));
    if (texts.header != m_gridHeader) {
        m_gridHeader = texts.header;
        WriteGridHeader(texts.header);
    }
    for (int i = 0; i < kNetStateCellCount; ++i) {
        const TGridRow &row = texts.rows[size_t(i)];
        for (int c = 0; c < m_gridColumns; ++c)
            sgrResult->item(i + 1, c)->setText(c < int(row.size()) ? QText(row[size_t(c)]) : QString());
    }
    lblConnection->setText(QText(texts.activity));
}

// ---- session view --------------------------------------------------------

std::string TfrmMain::PortText() const
{
    // A port typed but not applied is not opened by a reconnect either.
    return m_appliedPort.toStdString();
}

void TfrmMain::TerminalLine(const std::string &line, int lineType)
{
    termMain->AddLine(line, lineType);
}

void TfrmMain::PortOpening(const std::string &port)
{
    // Opening may take a while: what is pending is painted first.
    QCoreApplication::processEvents();
    StatusPanels[0]->SetFullText(QText(port));
    ShowPortClosed();
    ShowPlayingRecording(port);
}

void TfrmMain::PortOpened(const std::string &/*port*/)
{
    m_portOpen = true;
    m_events.PortOpened(QDateTime::currentDateTimeUtc());
    // Another modem may answer on this port: its name comes with its answer.
    StatusPanels[1]->SetFullText(QString::fromLatin1(kDevicePanelUnknown));
    // The session starts with automatic selection (ATE0+COPS=0): a
    // hand-picked operator no longer holds.
    // A read-only session leaves the modem's selection as it was, which
    // the window does not know.
    m_operatorInUse = m_session->ReadOnly() ? -1 : 0;
    m_operatorAsked = -1;
    CheckOperatorItem(m_operatorInUse);
}

void TfrmMain::PortOpenFailed(const std::string &/*port*/, const std::string &/*reason*/)
{
    ShowPortClosed();
}

void TfrmMain::ChannelLost()
{
    m_events.PortLost(QDateTime::currentDateTimeUtc());
    ShowPortClosed();
}

// While the port is closed or failing every value is unknown and the status
// bar says so, at once rather than at the next refresh.
void TfrmMain::ShowPortClosed()
{
    const bool wasOpen = m_portOpen;
    m_portOpen = false;
    StatusPanels[1]->SetFullText(QString::fromLatin1(kDevicePanelNotConnected));
    // The identity was that modem's; the next one says its own.
    StatusPanels[1]->SetPlainToolTip(kStatusHint);
    if (wasOpen)
        tmrShowTimer();
}

void TfrmMain::ChannelStateChanged(TCommState state)
{
    if (state == TCommState::CommStateFailed || state == TCommState::CommStateDisconnected)
        ShowPortClosed();
    if (const auto color = PortColorOf(state)) {
        m_portColor = *color;
        ShowPortEditState();
    }
}

void TfrmMain::ModemIdentified(const std::string &manufacturer, const std::string &model)
{
    StatusPanels[1]->SetFullText(QText(DevicePanelText(manufacturer, model)));
}

void TfrmMain::IdentityRead(const ModemIdentity &identity)
{
    StatusPanels[1]->SetPlainToolTip(QText(IdentityText(m_session->Manufacturer(), m_session->Model(), identity)));
}

bool TfrmMain::PortEditPending() const
{
    return m_shown && cmbPort->currentText().trimmed() != m_appliedPort;
}

// The port text in the channel state's colour; a typed port that is not in
// use yet in grey italics, its tooltip naming the one in use.
void TfrmMain::ShowPortEditState()
{
    const bool pending = PortEditPending();
    // The edit text alone: the list of ports keeps its upright font.
    QFont font = cmbPort->lineEdit()->font();
    if (font.italic() != pending) {
        font.setItalic(pending);
        cmbPort->lineEdit()->setFont(font);
    }
    if (pending)
        SetComboColor(cmbPort, kPortPendingColor);
    else if (m_portColor)
        SetComboColor(cmbPort, *m_portColor);
    else
        cmbPort->setPalette(m_portPalette);
    cmbPort->setToolTip(pending ? QStringLiteral("Not in use until you press Enter or pick it; the port in use is ") +
                                      (m_appliedPort.isEmpty() ? QStringLiteral("none") : m_appliedPort)
                                : kPortToolTip);
}

void TfrmMain::CycleStarted()
{
    EnableOperators();
}

void TfrmMain::EnableOperators()
{
    const bool readOnly = m_session->ReadOnly();
    rgpOperators->setEnabled(!readOnly);
    rgpOperators->setToolTip(readOnly ? QStringLiteral("Read only (menu Settings): Palvex does not switch the operator")
                                      : QString());
}

void TfrmMain::IncomingCall(const std::string &number)
{
    m_events.IncomingCall(number);
    ShowNotice(number.empty() ? QStringLiteral("Incoming call") : QStringLiteral("Incoming call from ") + QText(number));
}

void TfrmMain::PollingHeldChanged(bool held)
{
    Holdpolling1->setChecked(held);
}

void TfrmMain::MainAnswerTimedOut()
{
    zefXPGraph1->SetUsageValue(kGraphValueUnknown);
}

void TfrmMain::OperatorSwitchDone()
{
    if (m_operatorAsked >= 0)
        m_operatorInUse = m_operatorAsked;
    m_operatorAsked = -1;
    EnableOperators();
    tmrShowTimer();
}

void TfrmMain::OperatorRequestRefused(const std::string &reason)
{
    // The modem stays on what it used: so does the radio group.
    m_operatorAsked = -1;
    CheckOperatorItem(m_operatorInUse);
    EnableOperators();
    ShowNotice(QText(reason));
}

void TfrmMain::CycleCompleted(const CompletedCycle &cycle)
{
    // The first cycle after the switch was answered has the new values.
    if (m_operatorAsked < 0)
        m_operatorSwitching = false;
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    radioView->AddRecord(cycle.record, now);
    if (pointingView)
        pointingView->AddRecord(cycle.record, now);
    RecordIdentity();
    CompletedCycle positioned = cycle;
    if (gpsStatus->Source())
        positioned.position = gpsStatus->Source()->Position();
    gpsStatus->ShowPosition(positioned.position);
    CycleRecord record = CycleRecordOf(positioned, PortText(), QDateTime::currentDateTimeUtc());
    record.events = m_events.Next(record);
    for (const RecordEvent &event : record.events) {
        const QString text = record.time.toLocalTime().toString(QStringLiteral("HH:mm:ss ")) +
                             QString::fromStdString(RecordEventText(event));
        zefXPGraph1->AddMarker(RecordEventColor(event.type), text);
        radioView->AddMarker(now, RecordEventColor(event.type), text);
        eventList->Add(record.time, event);
    }
    eventNotifier->Notify(record.time, record.events);
    if (m_recordLog.IsOpen()) {
        if (!m_recordLog.Append(record)) {
            // One report, then the log stops: a full disk must not flood the terminal.
            termMain->AddLine(QStringLiteral("Record log stopped: ") + m_recordLog.ErrorText(), VRynTerminal_ltError);
            StopRecordLog();
        }
    }
    if (!m_onCycleCompleted)
        return;
    std::lock_guard lock(m_session->RecordLock());
    m_onCycleCompleted(cycle.record);
}

bool TfrmMain::StartRecordLog(const QString &path)
{
    const bool ok = m_recordLog.Open(path);
    if (ok)
        termMain->AddLine(QStringLiteral("Record log: writing every poll cycle to ") + QDir::toNativeSeparators(path),
                          VRynTerminal_ltExtra);
    else
        termMain->AddLine(QStringLiteral("Record log: ") + m_recordLog.ErrorText(), VRynTerminal_ltError);
    Recordlog1->setChecked(ok);
    Recordlog1->setStatusTip(ok ? QStringLiteral("Recording to ") + QDir::toNativeSeparators(path)
                                : QStringLiteral("Append every poll cycle's values to a file (JSON lines or CSV)"));
    return ok;
}

void TfrmMain::StopRecordLog()
{
    if (m_recordLog.IsOpen())
        termMain->AddLine(QStringLiteral("Record log closed: ") + QDir::toNativeSeparators(m_recordLog.Path()),
                          VRynTerminal_ltExtra);
    m_recordLog.Close();
    Recordlog1->setChecked(false);
}

void TfrmMain::Recordlog1Click()
{
    if (m_recordLog.IsOpen()) {
        StopRecordLog();
        return;
    }
    Recordlog1->setChecked(false);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QLatin1Char('/') + VRynAppInfo1->AppName();
    QDir().mkpath(folder);
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Record log"), folder + QStringLiteral("/records.jsonl"),
        QStringLiteral("JSON lines (*.jsonl *.json);;CSV (*.csv);;All files (*)"), nullptr,
        QFileDialog::DontConfirmOverwrite); // the log appends; nothing is overwritten
    if (path.isEmpty())
        return;
    if (!StartRecordLog(path))
        QMessageBox::warning(this, QStringLiteral("Record log"), m_recordLog.ErrorText());
}

// ---- handlers ------------------------------------------------------------

void TfrmMain::cmbPortDropDown()
{
    FillPortList(cmbPort);
}

void TfrmMain::cmbPortChange()
{
    // The box also reports a pick when it loses focus with a text that names
    // another item of its list; only a different port restarts the session.
    const QString port = cmbPort->currentText().trimmed();
    if (port == m_appliedPort) {
        ShowPortEditState();
        return;
    }
    m_appliedPort = port;
    ShowPortEditState();
    if (!VRynAppInfo1->WriteString(kConnectionSection, kPortKey, port))
        termMain->AddLine(QStringLiteral("The port could not be stored in the settings."), VRynTerminal_ltWarning);
    m_session->SetState(ModemSession::State::Init);
}

void TfrmMain::btnPortParametersClick()
{
    if (!VRSComm321->ConfigurationDialog())
        return;
    VRynAppInfo1->WriteString(kConnectionSection, kPortSettingsKey, QText(VRSComm321->GetConfigAsString()));
    // The simulated modem's settings are part of its port's name.
    const QString port = QText(VRSComm321->CommPort());
    if (port != m_appliedPort) {
        cmbPort->setCurrentText(port);
        cmbPortChange();
    }
}

void TfrmMain::btnShowTermClick()
{
    if (!m_terminalPlaced && !termMain->isVisible())
        PlaceTerminal();
    termMain->show();
    termMain->raise();
}

void TfrmMain::Exit1Click()
{
    // Closing saves the window state; the quit is posted, as the loop ends
    // only after this handler returns.
    close();
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TfrmMain::UpdateSpeedClick(int index)
{
    if (index < 0 || index >= int(kUpdateSpeeds.size()))
        return;
    const UpdateSpeed &speed = kUpdateSpeeds[size_t(index)];
    tmrShow->start(speed.period);
    UpdateSpeedItems[size_t(index)]->setChecked(true);
    lblSpeed->setText(QString::fromLatin1(speed.label));
    if (m_settingsRead)
        VRynAppInfo1->WriteString(kSettingsSection, kUpdateSpeedKey, QString::number(index));
}

void TfrmMain::Debugterminal1Click()
{
    const bool on = !m_session->DebugTerminal();
    m_session->SetDebugTerminal(on);
    Debugterminal1->setChecked(on);
    if (m_settingsRead)
        WriteSetting(kDebugTerminalKey, on);
    if (on)
        btnShowTermClick();
}

void TfrmMain::Answercalls1Click(bool on)
{
    m_session->SetAnswerCalls(on);
    Answercalls1->setChecked(on);
    WriteSetting(kAnswerCallsKey, on);
}

void TfrmMain::Readonly1Click(bool on)
{
    m_session->SetReadOnly(on);
    Readonly1->setChecked(on);
    Answercalls1->setEnabled(!on);
    WriteSetting(kReadOnlyKey, on);
    EnableOperators();
}

void TfrmMain::WriteSetting(const QString &key, bool on)
{
    if (!VRynAppInfo1->WriteString(kSettingsSection, key, on ? QStringLiteral("1") : QStringLiteral("0")))
        termMain->AddLine(QStringLiteral("The setting could not be stored."), VRynTerminal_ltWarning);
}

bool TfrmMain::ReadSetting(const QString &key, bool defaultValue) const
{
    const QString value = VRynAppInfo1->ReadString(kSettingsSection, key);
    return value.isEmpty() ? defaultValue : value == QStringLiteral("1");
}

void TfrmMain::Logterminaltofile1Click()
{
    // The terminal itself says where it writes, where it stopped, or why it
    // cannot; the item follows through ShowTerminalLogging.
    termMain->SetLogging(!termMain->IsLogging());
    ShowTerminalLogging(termMain->IsLogging()); // a refused open unchecks it too
    if (m_settingsRead)
        WriteSetting(kLogTerminalKey, termMain->IsLogging());
    if (termMain->IsLogging())
        btnShowTermClick();
}

QStringList TfrmMain::HelpPageCandidates()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList candidates{
        programDir + QStringLiteral("/doc/index.html"),
        programDir + QStringLiteral("/../" PALVEX_INSTALL_DOCDIR "/index.html"),
    };
    const QString source = QStringLiteral(PALVEX_SOURCE_DIR);
    if (!source.isEmpty())
        candidates << source + QStringLiteral("/doc/index.html");
    return candidates;
}

QString TfrmMain::FindHelpPage()
{
    for (const QString &candidate : HelpPageCandidates())
        if (QFileInfo(candidate).isFile())
            return QFileInfo(candidate).canonicalFilePath();
    return {};
}

namespace {

const QString kNotificationsSection = QStringLiteral("Notifications");
const QString kNotificationTypesKey = QStringLiteral("Types");

} // namespace

void TfrmMain::BuildEventNotifier()
{
    eventNotifier = new TEventNotifier(this);
    eventNotifier->SetTypes(VRynAppInfo1->ReadString(kNotificationsSection, kNotificationTypesKey)
                                .split(QLatin1Char(','), Qt::SkipEmptyParts));
    connect(eventNotifier, &TEventNotifier::Failed, this,
            [this](const QString &reason) { termMain->AddLine(reason, VRynTerminal_ltWarning); });
}

void TfrmMain::Notifications1Click()
{
    TNotificationTypesDialog dialog(eventNotifier->Types(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    eventNotifier->SetTypes(dialog.Types());
    VRynAppInfo1->WriteString(kNotificationsSection, kNotificationTypesKey,
                              eventNotifier->Types().join(QLatin1Char(',')));
}

void TfrmMain::PollInterval1Click()
{
    bool ok = false;
    const double current = double(m_session->PollInterval().count()) / 1000.0;
    const double seconds =
        QInputDialog::getDouble(this, QStringLiteral("Poll interval"),
                                QStringLiteral("Seconds between the starts of two poll cycles\n"
                                               "(0: each cycle right after the last, as fast as the modem answers):"),
                                current, 0.0, kMaxPollIntervalSeconds, 1, &ok);
    if (ok)
        SetPollInterval(seconds);
}

void TfrmMain::SetPollInterval(double seconds)
{
    seconds = std::clamp(seconds, 0.0, kMaxPollIntervalSeconds);
    m_session->SetPollInterval(std::chrono::milliseconds(std::llround(seconds * 1000.0)));
    PollInterval1->setStatusTip(
        seconds > 0 ? QStringLiteral("A poll cycle at most every %1 s").arg(seconds)
                    : QStringLiteral("Each poll cycle right after the last"));
    if (!VRynAppInfo1->WriteString(kConnectionSection, kPollIntervalKey, QString::number(seconds)))
        termMain->AddLine(QStringLiteral("The poll interval could not be stored in the settings."),
                          VRynTerminal_ltWarning);
}

void TfrmMain::Content1Click()
{
    const QString page = FindHelpPage();
    if (page.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Help"),
                             QStringLiteral("The user guide doc/index.html was not found next to the program."));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        QMessageBox::warning(this, QStringLiteral("Help"),
                             QStringLiteral("No program could open the user guide %1.").arg(QDir::toNativeSeparators(page)));
}

void TfrmMain::Modem1Click()
{
    const bool known = !m_session->Manufacturer().empty();
    QMessageBox box(QMessageBox::Information, QStringLiteral("Modem"),
                    known ? QText(IdentityText(m_session->Manufacturer(), m_session->Model(), m_session->Identity()))
                          : QStringLiteral("No modem has named itself on this port yet."),
                    QMessageBox::Close, this);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

void TfrmMain::About1Click()
{
    if (!m_about)
        m_about = new TfrmAbout(this);
    m_about->exec();
}

#pragma once
// A top distributor on a scripted channel with a hand-set clock, and the
// main window's carriage-return decoder.

#include "FakeChannel.h"
#include "VRynTopDistributor.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using Messages = std::vector<std::string>;

// Marks everything up to and including the first CR of index 0 as one message.
inline void CrDecode(VRynGeneralDistributor *sender, std::uint32_t &)
{
    const std::string_view buffer = sender->GetComBuffer(0);
    if (buffer.empty())
        return;
    const auto p = buffer.find('\r');
    if (p == std::string_view::npos)
        return;
    sender->SetDecodedLength(0, int(p + 1));
    sender->SetDecodePending(0, false);
}

// Timers and the event loop need an application object; one for the run.
inline QCoreApplication *TestApplication()
{
    static int argc = 1;
    static char name[] = "distribution_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = QCoreApplication::instance() ? QCoreApplication::instance()
                                                                 : new QCoreApplication(argc, argv);
    return app;
}

// Collects qWarning/qCritical texts while alive.
class MessageCapture {
public:
    MessageCapture()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&Handler);
    }
    ~MessageCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    std::vector<std::string> messages;

private:
    static void Handler(QtMsgType, const QMessageLogContext &, const QString &text)
    {
        if (s_current)
            s_current->messages.push_back(text.toStdString());
    }
    static inline MessageCapture *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
};

class TopFixture : public ::testing::Test {
protected:
    TopFixture()
    {
        top.setObjectName("distTop");
        top.SetTickCountSource([this] { return now; });
        top.SetComHandler(&channel);
    }
    ~TopFixture() override { top.SetComHandler(nullptr); }

    // Receives with a CR decoder on index 0, recording every message.
    void DecodeLines()
    {
        top.SetOnComRecvDecode(&CrDecode);
        top.SetOnComRecvPoll([this](VRynGeneralDistributor *, std::uint32_t &, const std::string &data, bool &) {
            polled.push_back(data);
        });
    }

    std::uint32_t now = 1000;
    FakeChannel channel;
    VRynTopDistributor top;
    std::vector<std::string> polled;
};

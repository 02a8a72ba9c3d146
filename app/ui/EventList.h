#pragma once
// The event list (View → Events): the time and text of each event of the
// records, newest last, at most kMaxRows; it can be saved as CSV. The
// colours of the events' markers on the history graph are here too.

#include "RecordEvents.h"

#include <QDateTime>
#include <QWidget>

#include <cstdint>

class QTableWidget;

// The colour of an event type's marker (BGR, as the graph takes it): red for
// what was lost, green for what came back, blue for changes of cell,
// technology, band and operator, grey for the rest.
std::uint32_t RecordEventColor(const std::string &type);

class TEventList : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxRows = 10000;

    explicit TEventList(QWidget *parent = nullptr);

    void Add(const QDateTime &time, const RecordEvent &event);
    int Rows() const;
    QString TimeAt(int row) const;
    QString TextAt(int row) const;

    // Writes "time,type,from,to,text" and a row per event to path; false
    // with error set ("cannot write FILE: reason") when it cannot.
    bool SaveCsv(const QString &path, QString &error) const;

signals:
    void VisibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void SaveAs();

    QTableWidget *m_table = nullptr;
    std::vector<std::pair<QDateTime, RecordEvent>> m_events;
};

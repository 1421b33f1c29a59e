// "Журнал обмена": the traffic log's lines, newest at the bottom, shown a
// few times a second (never per frame, so measuring is not slowed), with the
// polls hidden or only the failures shown on request, paused, cleared and
// saved as text. Clicking a line of a 'V' exchange while the measurement is
// stopped puts the chart's cursor at its time. Main thread.
#pragma once

#include <functional>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "traffic/TrafficLog.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class TTrafficWindow : public QWidget {
    Q_OBJECT
public:
    struct THooks {
        std::function<void(const QString&)> showError;
        std::function<QString(const QString& suggested)> choosePath;  // empty: cancelled
        std::function<void(double timeMs)> showTime;  // a 'V' line clicked
    };

    TTrafficWindow(QWidget* parent, traffic::TLog& log, THooks hooks);

    // What the view shows, as lines of text (after the filters).
    QStringList Shown() const;
    // Brings the view up to the log now, as its timer does.
    void Refresh();
    void Save();

private:
    bool Wanted(const traffic::TLine& line) const;
    void Rebuild();
    void Clicked();

    traffic::TLog& FLog;
    THooks FHooks;
    QPlainTextEdit* FView;
    QCheckBox* FHidePolls;
    QCheckBox* FOnlyFailures;
    QPushButton* FPause;
    QLabel* FCount;
    QTimer FTimer;
    uint64_t FShownUpTo = 0;      // the log's count of lines added when last shown
    std::vector<uint64_t> FSerials;  // of each line shown: its place among all ever added
};

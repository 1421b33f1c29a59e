// The chart's context menu, opened by the right mouse button or by the Menu
// key while the chart has the focus: the points as a CSV file, the picture
// as a PNG, PDF or SVG file, the picture to the clipboard. The entries are
// disabled while the chart holds no point. Each export takes what the chart
// holds at the moment its entry is chosen, also while a measurement runs;
// files are written on a worker thread, a failure is shown in a box naming
// the file and the system's reason. Main thread; a child of its chart.
#pragma once

#include <functional>
#include <vector>

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include "record/ChartCsv.h"
#include "record/FileSaveJob.h"
#include "record/RecordFacts.h"

class QAction;
class QCustomPlot;
class QMenu;
class TSeriesGraph;
class TStepPanel;

class TChartMenu : public QObject {
    Q_OBJECT
public:
    // What the CSV file's comment lines tell, as of the measurement's start.
    using TRunFacts = recordfacts::TFacts;
    // What a save dialog asks, and what the user chose (an empty path: cancelled).
    struct TFileRequest {
        QString caption;
        QString suggestedPath;
        QStringList filters;
    };
    struct TFileChoice {
        QString path;
        int filter = 0;  // index into the request's filters
    };
    using TChooser = std::function<TFileChoice(const TFileRequest&)>;
    using TErrorBox = std::function<void(const QString& text)>;
    // Runs an entry's handler as the window runs its own (what escapes it is reported).
    using TRunner = std::function<void(const std::function<void()>& handler)>;

    TChartMenu(QCustomPlot* chart, std::vector<TSeriesGraph*> series, TErrorBox showError, TRunner run);

    void SetRunFacts(const TRunFacts& facts) { FFacts = facts; }
    // A non-native file dialog unless replaced (tests answer it here).
    void SetChooser(TChooser chooser) { FChooser = std::move(chooser); }

    QMenu* Menu() const { return FMenu; }
    QAction* SaveCsvAction() const { return FSaveCsv; }
    QAction* SaveImageAction() const { return FSaveImage; }
    QAction* CopyImageAction() const { return FCopyImage; }
    QAction* StepFiguresAction() const { return FStepFigures; }
    // Whether the measurement is stopped: the figures are offered only then.
    void SetStoppedQuery(std::function<bool()> stopped) { FStopped = std::move(stopped); }
    TStepPanel* StepPanel() const { return FStepPanel; }
    // Opens the menu at a point of the chart.
    void Popup(const QPoint& chartPos);

    // The CSV table of every point the series hold now. Main thread.
    chartcsv::TTable Table(const QDateTime& at) const;

    // The entries' texts.
    static QString SaveCsvText();
    static QString SaveImageText();
    static QString CopyImageText();
    static QString StepFiguresText();
    // The image dialog's filters, in order; the second is PNG at twice the chart's size.
    static QStringList ImageFilters();

signals:
    // After each file export, on the main thread; error empty on success.
    void Saved(const QString& path, const QString& error);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Entries that work out figures from the points, rather than export
    // them, go here, below the exports: the step-response figures
    // ("Переходная характеристика") of the last step are to be added here.
    void AddAnalysisEntries(QMenu& menu);

    bool HasPoints() const;
    void UpdateEnabled();
    void SaveCsv();
    void SaveImage();
    void CopyImage();
    void ShowStepFigures();
    TFileChoice Choose(const TFileRequest& request);
    void StartSave(const QString& path, TFileSaveJob::TWriter writer);
    QString SuggestedPath(const QDateTime& at, const char* suffix) const;

    QCustomPlot* FChart;
    std::vector<TSeriesGraph*> FSeries;
    TErrorBox FShowError;
    TRunner FRun;
    TRunFacts FFacts;
    TChooser FChooser;
    QString FLastDir;  // where the last file went, for this run only
    QMenu* FMenu;
    QAction* FSaveCsv;
    QAction* FSaveImage;
    QAction* FCopyImage;
    QAction* FStepFigures = nullptr;
    std::function<bool()> FStopped = [] { return true; };
    TStepPanel* FStepPanel;
};

// "Прогоны": the runs of this program's run in a list (time, mode, the six
// parameters and the main step figures, with each figure's difference to the
// reference run), up to ten checked runs drawn on each other aligned on their
// step, one run pinned as the reference, and a run saved as or opened from
// the chart's CSV. A window of its own beside the main window. Main thread only.
#pragma once

#include <functional>

#include <QWidget>

#include "paramset/ParamFile.h"
#include "runs/RunLibrary.h"

class QCustomPlot;
class QPushButton;
class QTableWidget;

class TRunsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int MaxOverlaid = 10;

    struct THooks {
        std::function<void(const QString&)> showError;
        // Loads a run's parameters through the parameter file dialog.
        std::function<void(const paramfile::TParamSet&, const QString& about)> loadParams;
        // Asks for a path to save to (true) or open (false); empty: cancelled.
        std::function<QString(bool save, const QString& suggested)> choosePath;
        // Starts the automatic tuning; no button without it.
        std::function<void()> autoTune;
    };

    TRunsWindow(QWidget* parent, runs::TRunLibrary& library, THooks hooks);

    // The ids of the runs drawn, in list order.
    std::vector<int> Overlaid() const;
    void SetOverlaid(int id, bool drawn);
    int Selected() const;  // 0: none
    void Select(int id);
    QCustomPlot* Plot() const { return FPlot; }
    QTableWidget* List() const { return FList; }

    void PinReference();
    void LoadParams();
    void SaveRun();
    void OpenRun();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Refill();
    void Redraw();
    void UpdateButtons();

    runs::TRunLibrary& FLibrary;
    THooks FHooks;
    QTableWidget* FList;
    QCustomPlot* FPlot;
    QPushButton* FPin;
    QPushButton* FParams;
    QPushButton* FSave;
    std::vector<int> FDrawn;
    bool FFilling = false;
};
